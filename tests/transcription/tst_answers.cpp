#include "FakeGeminiServer.h"
#include "records/Config.h"
#include "transcription/GeminiAnswers.h"
#include "transcription/GeminiClient.h"
#include "transcription/GeminiEndpoints.h"
#include "transcription/SpokenLanguage.h"

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
    void errorMessages_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("service") << QByteArray(R"({"error": {"message": "API key not valid"}})")
                                 << "API key not valid";
        QTest::newRow("page") << "<html>Bad gateway</html>"_ba
                              << "<html>Bad gateway</html>";
        QTest::newRow("flat") << QByteArray(R"({"error": "flat"})") << R"({"error": "flat"})";
        QTest::newRow("not text") << "\xff\xfe\xfd"_ba
                                  << "unknown error";
        // Only the beginning of a long answer is read.
        QTest::newRow("cut") << "{\"error\": {\"code\": 400, \"message\": \"big xx"_ba
                             << "big xx…";
        QTest::newRow("cut in an escape") << "{\"error\":{\"message\":\"say \\\"hi\\\" \\u00"_ba
                                          << "say \"hi\" …";
        QTest::newRow("cut after it") << "{\"error\":{\"message\":\"whole\", \"status"_ba
                                      << "whole…";
    }

    void errorMessages()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        QCOMPARE(GeminiAnswers::errorMessage(body), message);
    }

    void errorTexts()
    {
        QCOMPARE(GeminiError::http(429, u"slow down"_s).description(),
                 u"Gemini returned 429: slow down"_s);
        QCOMPARE(GeminiError::emptyResponse().description(), u"Gemini returned no text."_s);
        const QString shown = GeminiError::http(400, QString(5000, u'y')).description();
        QCOMPARE(shown, u"Gemini returned 400: "_s + QString(300, u'y') + u'…');
    }

    void generatedText()
    {
        auto text = GeminiAnswers::generatedText(R"({"candidates": [{"content": {"parts": [
            {"text": "thinking...", "thought": true}, {"text": "  Salom\n"}, {"text": " dunyo \n"}]}}]})");
        QVERIFY(text.ok());
        QCOMPARE(text.value(), u"Salom\n dunyo"_s);

        // Nothing in a transcript may act on a terminal or reorder what is shown.
        text = GeminiAnswers::generatedText(FakeGeminiServer::generateContentAnswer(
            u"\x1b[31mqizil\x1b[0m\u202e \x07yo\u2066z\u2069\x9b\r\n\tikki\x7f\x00"_s));
        QCOMPARE(text.value(), u"[31mqizil[0m yoz\n\tikki"_s);
        QCOMPARE(
            GeminiAnswers::generatedText(FakeGeminiServer::generateContentAnswer(u"\x1b\u202e\r"_s))
                .error(),
            GeminiError::emptyResponse());

        auto stopped = GeminiAnswers::generatedText(R"({"candidates": [{"content": {"parts": [
            {"text": "x", "thought": true}]}, "finishReason": "MAX_TOKENS"}]})");
        QVERIFY(!stopped.ok());
        QCOMPARE(stopped.error(), GeminiError::badResponse(u"finishReason MAX_TOKENS"_s));

        auto empty = GeminiAnswers::generatedText(R"({"candidates": [{"content": {"parts": [
            {"text": "  "}]}, "finishReason": "STOP"}]})");
        QCOMPARE(empty.error(), GeminiError::emptyResponse());

        auto blocked =
            GeminiAnswers::generatedText(R"({"promptFeedback": {"blockReason": "SAFETY"}})");
        QCOMPARE(blocked.error(), GeminiError::badResponse(u"blocked (SAFETY)"_s));
        QCOMPARE(GeminiAnswers::generatedText(R"({"candidates": []})").error(),
                 GeminiError::emptyResponse());
        QCOMPARE(GeminiAnswers::generatedText("[1]").error(),
                 GeminiError::badResponse(u"not an object"_s));
        QCOMPARE(GeminiAnswers::generatedText("not json").error().kind(),
                 GeminiError::Kind::invalidJson);
    }

    void interactionText()
    {
        auto text = GeminiAnswers::interactionText(R"({"steps": [
            {"content": [{"type": "text", "text": " Hel"}]}, {"content": [{"text": "lo "}, {"x": 1}]}]})");
        QVERIFY(text.ok());
        QCOMPARE(text.value(), u"Hello"_s);
        QCOMPARE(GeminiAnswers::interactionText(R"({"steps": "no"})").error(),
                 GeminiError::emptyResponse());
    }

    void modelNamesAndPick()
    {
        auto names = GeminiAnswers::modelNames(R"({"models": [{"name": "models/gemini-b"},
            {"name": "gemini-a"}, {"displayName": "nameless"}, {"name": "models/Zeta"}]})");
        QVERIFY(names.ok());
        QCOMPARE(names.value(), (QStringList{u"Zeta"_s, u"gemini-a"_s, u"gemini-b"_s}));
        QCOMPARE(GeminiAnswers::modelNames(R"({"models": []})").value(), QStringList());
        const GeminiError noModels = GeminiError::badResponse(u"no models field"_s);
        QCOMPARE(GeminiAnswers::modelNames(R"({"models": [1]})").error(), noModels);
        QCOMPARE(GeminiAnswers::modelNames(R"({"other": []})").error(), noModels);

        const QStringList listed = {u"gemini-2-flash-lite"_s, u"gemini-3-flash"_s,
                                    u"gemini-3-flash-image"_s, u"gemini-pro"_s};
        QCOMPARE(GeminiClient::pickModel(listed, u"gemini-2-flash-lite"_s),
                 std::optional<QString>(u"gemini-2-flash-lite"_s));
        QCOMPARE(GeminiClient::pickModel(listed, u"gone"_s),
                 std::optional<QString>(u"gemini-3-flash"_s));
        QCOMPARE(GeminiClient::pickModel({u"gemini-x-flash-lite"_s, u"other"_s}, u"gone"_s),
                 std::optional<QString>(u"gemini-x-flash-lite"_s));
        QCOMPARE(GeminiClient::pickModel({u"palm"_s}, u"gone"_s), std::nullopt);
        QCOMPARE(GeminiClient::pickModel({}, u"gone"_s), std::nullopt);
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
        QStringList live;
        for (const QString &name : listing.value().names)
            if (listing.value().live(name))
                live.append(name);
        QCOMPARE(live, (QStringList{u"gemini-3.5-transcribe-live"_s, u"gemini-native-audio"_s}));
        QCOMPARE(GeminiAnswers::modelListing(R"({"other": []})").error(),
                 GeminiError::badResponse(u"no models field"_s));

        Config c;
        c.liveModels = listing.value().streamingOnly;
        for (const auto &[model, isLive] : {std::pair{"gemini-native-audio", true},
                                            {"gemini-3.5-transcribe-live", true},
                                            {"gemini-both", false},
                                            {"gemini-flash", false}}) {
            c.model = QString::fromLatin1(model);
            QVERIFY2(GeminiClient::from(c).live == isLive, model);
        }
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
        const int count = qEnvironmentVariableIntValue("VESK_FUZZ_INPUTS")
                              ? qEnvironmentVariableIntValue("VESK_FUZZ_INPUTS")
                              : 4000;
        std::mt19937 random(20261208);
        const auto below = [&](qsizetype n) {
            return qsizetype(random() % quint64(std::max<qsizetype>(n, 1)));
        };
        const auto inert = [](const QString &text, bool lineBreaks) {
            return std::none_of(text.begin(), text.end(), [&](QChar c) {
                return PlainText::isControl(c) && !(lineBreaks && (c == u'\n' || c == u'\t'));
            });
        };
        QElapsedTimer clock;
        clock.start();
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
        qInfo("%d mutated answers through each reader in %lld ms", count, clock.elapsed());
    }

    void endpointChoiceAndAddresses()
    {
        QVERIFY(GeminiClient::usesInteractions(u"gemini-transcribe-1"_s));
        QVERIFY(!GeminiClient::usesInteractions(u"gemini-Transcribe"_s));
        QVERIFY(!GeminiClient::usesInteractions(u"gemini-3.7-flash"_s));
        for (const char *bad : {"", "a/b", "a?b", "a#b", "a b", "a\nb"})
            QVERIFY2(!GeminiEndpoints::generateContentAddress(QString::fromLatin1(bad)).ok(), bad);
        qputenv("VESK_GEMINI_BASE_URL", "http://127.0.0.1:1");
        const auto address = GeminiEndpoints::generateContentAddress(u"gemini-3.7-flash"_s);
        QVERIFY(address.ok());
        QCOMPARE(address.value().toString(),
                 u"http://127.0.0.1:1/v1beta/models/gemini-3.7-flash:generateContent"_s);
        qunsetenv("VESK_GEMINI_BASE_URL");
    }

    // The prompt that goes out with the audio.
    void spokenLanguages()
    {
        const auto &all = SpokenLanguage::all();
        QCOMPARE(all.size(), 13);
        QCOMPARE(all.first().code, u"uz-UZ"_s);
        QCOMPARE(all.first().nativeName.at(1), QChar(0x02BB));
        QCOMPARE(all.last().code, u"ko-KR"_s);
    }

    void languageRules()
    {
        const QString noTranslation =
            u" Keep every word in the language it was spoken in \u2014 never "
            "translate between them."_s;
        QCOMPARE(GeminiClient::languageRules({u"ru-RU"_s}), u"\nThe speaker talks in Russian."_s);
        QCOMPARE(GeminiClient::languageRules({u"uz-UZ"_s, u"ru-RU"_s, u"en-US"_s}),
                 u"\nThe speaker may mix Uzbek, Russian and English."_s + noTranslation +
                     u" Write Uzbek in Latin script."_s);
        QCOMPARE(GeminiClient::languageRules({u"en-US"_s, u"uz-UZ"_s}),
                 u"\nThe speaker may mix English and Uzbek."_s + noTranslation +
                     u" Write Uzbek in Latin script."_s);
        QCOMPARE(GeminiClient::languageRules({u"xx-XX"_s, u"uz-UZ"_s}),
                 u"\nThe speaker talks in Uzbek. Write Uzbek in Latin script."_s);
        QCOMPARE(GeminiClient::languageRules({u"de-DE"_s, u"de-DE"_s}),
                 u"\nThe speaker may mix German and German."_s + noTranslation);
        QCOMPARE(GeminiClient::languageRules({}), QString());
        QCOMPARE(GeminiClient::languageRules({u"uz-uz"_s}), QString());
    }

    void defaultPrompt()
    {
        const QString text = GeminiClient::from(Config()).fullPrompt();
        const QStringList lines = text.split(u'\n');
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines[0], Config::defaultPrompt);
        QCOMPARE(lines[1], QString());
        QCOMPARE(lines[2],
                 u"Clean the transcript up for reading, without changing what was meant:"_s);
        QCOMPARE(lines[5],
                 u"  \"Seshanba, yo'q, chorshanba kelaman\" becomes \"Chorshanba kelaman\"."_s);
        QCOMPARE(lines[8], QString());
        QCOMPARE(lines[9], u"Never translate, summarize, answer, or add anything of your own."_s);
        QCOMPARE(lines[10],
                 u"Output only the transcript. If there is no speech, output nothing at all."_s);
        // The smart fragment: a line feed and six lines, 456 characters.
        const qsizetype start = text.indexOf(u"\nClean"_s);
        const qsizetype end = text.indexOf(u"\n\nNever"_s);
        QCOMPARE(end - start, 456);
    }

    void modesWordsAndEmptyPrompt()
    {
        Config c;
        c.prompt = QString();
        c.transcriptionMode = u"Smart"_s;
        c.customVocabulary = {u"Vesk"_s};
        const QString text = GeminiClient::from(c).fullPrompt();
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
