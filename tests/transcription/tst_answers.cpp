#include "FakeGeminiServer.h"
#include "records/Config.h"
#include "transcription/GeminiAnswers.h"
#include "transcription/GeminiClient.h"

#include "records/PlainText.h"

#include <QtTest>
#include <algorithm>
#include <random>

using namespace Qt::StringLiterals;

// The prompt the service is sent, and what is read of its answers.
class AnswersTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What each reader makes of an answer: its text (model names joined by commas), or "error: "
    // and the error's description.
    void readers_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("read");
        const auto row = [](const char *name, const char *reader, const QByteArray &answer,
                            const QString &read) {
            QTest::newRow(name) << QString::fromLatin1(reader) << answer << read;
        };
        const QString empty = u"error: Gemini returned no text."_s;
        const QString bad = u"error: Could not read the Gemini response: "_s;
        row("service's error", "error", R"({"error": {"message": "API key not valid"}})",
            u"API key not valid"_s);
        row("error page", "error", "<html>Bad gateway</html>", u"<html>Bad gateway</html>"_s);
        row("flat error", "error", R"({"error": "flat"})", uR"({"error": "flat"})"_s);
        row("error not text", "error", "\xff\xfe\xfd", u"unknown error"_s);
        // Only the beginning of a long answer is read.
        row("error cut", "error", "{\"error\": {\"code\": 400, \"message\": \"big xx",
            u"big xx…"_s);
        row("error cut in an escape", "error", "{\"error\":{\"message\":\"say \\\"hi\\\" \\u00",
            u"say \"hi\" …"_s);
        row("error cut after it", "error", "{\"error\":{\"message\":\"whole\", \"status",
            u"whole…"_s);
        row("generated", "generated", R"({"candidates": [{"content": {"parts": [
            {"text": "thinking...", "thought": true}, {"text": "  Salom\n"}, {"text": " dunyo \n"}]}}]})",
            u"Salom\n dunyo"_s);
        // Nothing in a transcript may act on a terminal or reorder what is shown.
        row("generated controls", "generated",
            FakeGeminiServer::generateContentAnswer(
                u"\x1b[31mqizil\x1b[0m\u202e \x07yo\u2066z\u2069\x9b\r\n\tikki\x7f\x00"_s),
            u"[31mqizil[0m yoz\n\tikki"_s);
        row("generated controls only", "generated",
            FakeGeminiServer::generateContentAnswer(u"\x1b\u202e\r"_s), empty);
        row("generated, stopped", "generated", R"({"candidates": [{"content": {"parts": [
            {"text": "x", "thought": true}]}, "finishReason": "MAX_TOKENS"}]})",
            bad + u"finishReason MAX_TOKENS"_s);
        row("generated blank", "generated", R"({"candidates": [{"content": {"parts": [
            {"text": "  "}]}, "finishReason": "STOP"}]})",
            empty);
        row("generated, blocked", "generated", R"({"promptFeedback": {"blockReason": "SAFETY"}})",
            bad + u"blocked (SAFETY)"_s);
        row("no candidates", "generated", R"({"candidates": []})", empty);
        row("generated, no object", "generated", "[1]", bad + u"not an object"_s);
        row("generated, no JSON", "generated", "not json",
            u"error: Gemini sent an answer that is not JSON: illegal value (offset 1)"_s);
        row("interaction", "interaction", R"({"steps": [
            {"content": [{"type": "text", "text": " Hel"}]}, {"content": [{"text": "lo "}, {"x": 1}]}]})",
            u"Hello"_s);
        row("interaction without steps", "interaction", R"({"steps": "no"})", empty);
        row("names", "names", R"({"models": [{"name": "models/gemini-b"},
            {"name": "gemini-a"}, {"displayName": "nameless"}, {"name": "models/Zeta"}]})",
            u"Zeta,gemini-a,gemini-b"_s);
        row("no names", "names", R"({"models": []})", QString());
        row("names not objects", "names", R"({"models": [1]})", bad + u"no models field"_s);
        row("no models", "names", R"({"other": []})", bad + u"no models field"_s);
    }

    void readers()
    {
        QFETCH(QString, reader);
        QFETCH(QByteArray, answer);
        QFETCH(QString, read);
        const auto shown = [](const auto &result, auto text) {
            return result.ok() ? text(result.value()) : u"error: "_s + result.error().description();
        };
        const auto asIs = [](const QString &text) { return text; };
        QString got;
        if (reader == "error"_L1)
            got = GeminiAnswers::errorMessage(answer);
        else if (reader == "generated"_L1)
            got = shown(GeminiAnswers::generatedText(answer), asIs);
        else if (reader == "interaction"_L1)
            got = shown(GeminiAnswers::interactionText(answer), asIs);
        else
            got = shown(GeminiAnswers::modelNames(answer),
                        [](const QStringList &names) { return names.join(u','); });
        QCOMPARE(got, read);
    }

    void pickModel()
    {
        const QStringList listed = {u"gemini-2-flash-lite"_s, u"gemini-3-flash"_s,
                                    u"gemini-3-flash-image"_s, u"gemini-pro"_s};
        const auto picked = [](const QStringList &names, const QString &current) {
            return GeminiClient::pickModel(names, current).value_or(u"(none)"_s);
        };
        QCOMPARE(picked(listed, u"gemini-2-flash-lite"_s), u"gemini-2-flash-lite"_s);
        QCOMPARE(picked(listed, u"gone"_s), u"gemini-3-flash"_s);
        QCOMPARE(picked({u"gemini-x-flash-lite"_s, u"other"_s}, u"gone"_s),
                 u"gemini-x-flash-lite"_s);
        QCOMPARE(picked({u"palm"_s}, u"gone"_s), u"(none)"_s);
        QCOMPARE(picked({}, u"gone"_s), u"(none)"_s);
    }

    // A model is live by its name, or by a listing entry that offers only the Live API's method;
    // the choice remembers the latter, as the names do not tell.
    void liveModelsFromTheListing()
    {
        const auto listing = GeminiAnswers::modelListing(R"({"models": [
            {"name": "models/gemini-native-audio",
             "supportedGenerationMethods": ["countTokens", "bidiGenerateContent"]},
            {"name": "models/gemini-both", "supportedGenerationMethods":
             ["generateContent", "bidiGenerateContent"]},
            {"name": "models/gemini-3.5-transcribe-live"},
            {"name": "models/gemini-odd", "supportedGenerationMethods": "bidiGenerateContent"},
            {"name": "models/gemini-flash", "supportedGenerationMethods": ["generateContent"]}]})");
        QVERIFY(listing.ok());
        QCOMPARE(listing.value().streamingOnly, QStringList{u"gemini-native-audio"_s});
        // Only the lower-case word makes a transcribe model.
        QVERIFY(!GeminiClient::usesInteractions(u"gemini-Transcribe"_s));

        // The same models are live for the listing and for a choice that remembers it.
        Config c;
        c.liveModels = listing.value().streamingOnly;
        QStringList live, chosenLive;
        for (const QString &name : listing.value().names) {
            c.model = name;
            if (listing.value().live(name))
                live.append(name);
            if (GeminiClient::from(c).live)
                chosenLive.append(name);
        }
        QCOMPARE(live, (QStringList{u"gemini-3.5-transcribe-live"_s, u"gemini-native-audio"_s}));
        QCOMPARE(chosenLive, live);
    }

    // A seeded mutation run over the readers: every input must give a result or an error, with no
    // sanitizer report, and whatever text comes out must be inert.
    void readersHoldUpAgainstMutatedAnswers()
    {
        const QList<QByteArray> seeds = {
            FakeGeminiServer::generateContentAnswer(u"Salom, dunyo\nПривет"_s),
            R"({"candidates":[{"content":{"parts":[{"text":"a","thought":true},{"text":"b"}]},)"
            R"("finishReason":"STOP"}],"promptFeedback":{"blockReason":"SAFETY"}})",
            FakeGeminiServer::interactionsAnswer(u"uch \u202e to'rt"_s),
            FakeGeminiServer::modelsAnswer({u"gemini-3-flash"_s, u"x"_s}),
            FakeGeminiServer::errorAnswer(u"quota \"exceeded\" \x1b[1m"_s),
            "{\"error\":{\"code\":400,\"message\":\"cut \\u00e9 \\\"",
        };
        static const QList<QByteArray> tokens = {
            "{",       "}",        "[",           "]",        "\"",           "\\",
            "\\u",     ":",        ",",           "null",     "true",         "1e999",
            "-0",      "\"text\"", "\"message\"", "\xf0\x9f", "\xed\xa0\x80", "\x1b",
            "\xc2\x9b"};
        // VESK_FUZZ_INPUTS asks for a longer run.
        const int count = std::max(qEnvironmentVariableIntValue("VESK_FUZZ_INPUTS"), 4000);
        std::mt19937 random(20261208);
        const auto below = [&](qsizetype n) {
            return qsizetype(random() % quint64(std::max<qsizetype>(n, 1)));
        };
        const auto inert = [](const QString &text, bool lineBreaks) {
            return std::none_of(text.begin(), text.end(), [&](QChar c) {
                return PlainText::isControl(c) && !(lineBreaks && (c == u'\n' || c == u'\t'));
            });
        };
        for (int n = 0; n < count; ++n) {
            QByteArray input = seeds.at(below(seeds.size()));
            for (int steps = 1 + int(below(4)); steps > 0; --steps) {
                const qsizetype at = below(input.size() + 1);
                switch (below(6)) {
                case 0: // flip a byte
                    if (!input.isEmpty())
                        input[below(input.size())] ^= char(1 << below(8));
                    break;
                case 1: // a JSON token or an awkward byte sequence
                    input.insert(at, tokens.at(below(tokens.size())));
                    break;
                case 2: // cut out a piece
                    input.remove(at, below(16));
                    break;
                case 3: // repeat a piece
                    input.insert(at, input.mid(below(input.size()), below(24)));
                    break;
                case 4: // end early, as a cut answer does
                    input.truncate(at);
                    break;
                default: // splice in another answer
                    input.insert(at, seeds.at(below(seeds.size())).mid(below(40)));
                }
            }
            for (const auto &text :
                 {GeminiAnswers::generatedText(input), GeminiAnswers::interactionText(input)}) {
                if (text.ok())
                    QVERIFY2(inert(text.value(), true) && !text.value().isEmpty(), input.toHex());
                else
                    QVERIFY2(inert(text.error().description(), false), input.toHex());
            }
            if (const auto names = GeminiAnswers::modelNames(input); names.ok()) {
                for (const QString &name : names.value())
                    QVERIFY2(inert(name, false) && !name.isEmpty(), input.toHex());
            }
            const GeminiError error = GeminiError::http(400, GeminiAnswers::errorMessage(input));
            QVERIFY2(inert(error.description(), false) && error.message().size() <= 301,
                     input.toHex());
        }
    }

    // The prompt that goes out with the audio.
    void languageRules()
    {
        const QString noTranslation =
            u" Keep every word in the language it was spoken in \u2014 never "
            "translate between them."_s;
        const QString latin = u" Write Uzbek in Latin script."_s;
        QCOMPARE(GeminiClient::languageRules({u"ru-RU"_s}), u"\nThe speaker talks in Russian."_s);
        QCOMPARE(GeminiClient::languageRules({u"uz-UZ"_s, u"ru-RU"_s, u"en-US"_s}),
                 u"\nThe speaker may mix Uzbek, Russian and English."_s + noTranslation + latin);
        QCOMPARE(GeminiClient::languageRules({u"en-US"_s, u"uz-UZ"_s}),
                 u"\nThe speaker may mix English and Uzbek."_s + noTranslation + latin);
        QCOMPARE(GeminiClient::languageRules({u"xx-XX"_s, u"uz-UZ"_s}),
                 u"\nThe speaker talks in Uzbek. Write Uzbek in Latin script."_s);
        QCOMPARE(GeminiClient::languageRules({u"de-DE"_s, u"de-DE"_s}),
                 u"\nThe speaker may mix German and German."_s + noTranslation);
        QCOMPARE(GeminiClient::languageRules({}), QString());
        QCOMPARE(GeminiClient::languageRules({u"uz-uz"_s}), QString());
    }

    // The prompt of the default settings, line by line; then the verbatim mode (any word but
    // "smart"), a word list, and no prompt of the user's.
    void prompts()
    {
        QString text = GeminiClient::from(Config()).fullPrompt();
        const QStringList lines = text.split(u'\n');
        QCOMPARE(lines.mid(0, 3),
                 (QStringList{
                     Config::defaultPrompt, QString(),
                     u"Clean the transcript up for reading, without changing what was meant:"_s}));
        QCOMPARE(lines[5],
                 u"  \"Seshanba, yo'q, chorshanba kelaman\" becomes \"Chorshanba kelaman\"."_s);
        QCOMPARE(lines.mid(8),
                 (QStringList{QString(),
                              u"Never translate, summarize, answer, or add anything of your own."_s,
                              u"Output only the transcript. If there is no speech, output nothing "
                              "at all."_s}));
        // The smart fragment: a line feed and six lines, 456 characters.
        QCOMPARE(text.indexOf(u"\n\nNever"_s) - text.indexOf(u"\nClean"_s), 456);

        Config c;
        c.prompt = QString();
        c.transcriptionMode = u"Smart"_s;
        c.customVocabulary = {u"Vesk"_s};
        text = GeminiClient::from(c).fullPrompt();
        QVERIFY(text.startsWith(u"\n\nWrite down every word exactly as spoken, including "
                                "repetitions, filler\nsounds and false starts."_s));
        QVERIFY(text.contains(u"\n\nThese names come up often and are easy to mishear \u2014 spell "
                              u"them\nexactly like "
                              "this when you hear them: Vesk.\n\nNever translate"_s));
        QVERIFY(text.endsWith(u"output nothing at all."_s));
    }
};

QTEST_GUILESS_MAIN(AnswersTest)
#include "tst_answers.moc"
