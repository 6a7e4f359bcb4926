#include "records/Config.h"
#include "transcription/GeminiClient.h"
#include "transcription/SpokenLanguage.h"

#include <QtTest>

class PromptTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void table()
    {
        const auto &all = SpokenLanguage::all();
        QCOMPARE(all.size(), 13);
        QCOMPARE(all.first().code, QStringLiteral("uz-UZ"));
        QCOMPARE(all.first().nativeName.at(1), QChar(0x02BB));
        QCOMPARE(all.last().code, QStringLiteral("ko-KR"));
    }

    void languageRules()
    {
        const QString noTranslation =
            QStringLiteral(" Keep every word in the language it was spoken in \u2014 never "
                           "translate between them.");
        QCOMPARE(GeminiClient::languageRules({QStringLiteral("ru-RU")}),
                 QStringLiteral("\nThe speaker talks in Russian."));
        QCOMPARE(GeminiClient::languageRules(
                     {QStringLiteral("uz-UZ"), QStringLiteral("ru-RU"), QStringLiteral("en-US")}),
                 QStringLiteral("\nThe speaker may mix Uzbek, Russian and English.") +
                     noTranslation + QStringLiteral(" Write Uzbek in Latin script."));
        QCOMPARE(GeminiClient::languageRules({QStringLiteral("en-US"), QStringLiteral("uz-UZ")}),
                 QStringLiteral("\nThe speaker may mix English and Uzbek.") + noTranslation +
                     QStringLiteral(" Write Uzbek in Latin script."));
        QCOMPARE(GeminiClient::languageRules({QStringLiteral("xx-XX"), QStringLiteral("uz-UZ")}),
                 QStringLiteral("\nThe speaker talks in Uzbek. Write Uzbek in Latin script."));
        QCOMPARE(GeminiClient::languageRules({QStringLiteral("de-DE"), QStringLiteral("de-DE")}),
                 QStringLiteral("\nThe speaker may mix German and German.") + noTranslation);
        QCOMPARE(GeminiClient::languageRules({}), QString());
        QCOMPARE(GeminiClient::languageRules({QStringLiteral("uz-uz")}), QString());
    }

    void defaultPrompt()
    {
        const QString text = GeminiClient::from(Config()).fullPrompt();
        const QStringList lines = text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines[0], Config::defaultPrompt);
        QCOMPARE(lines[1], QString());
        QCOMPARE(lines[2],
                 QStringLiteral(
                     "Clean the transcript up for reading, without changing what was meant:"));
        QCOMPARE(lines[5],
                 QStringLiteral(
                     "  \"Seshanba, yo'q, chorshanba kelaman\" becomes \"Chorshanba kelaman\"."));
        QCOMPARE(lines[8], QString());
        QCOMPARE(lines[9], QStringLiteral(
                               "Never translate, summarize, answer, or add anything of your own."));
        QCOMPARE(lines[10],
                 QStringLiteral(
                     "Output only the transcript. If there is no speech, output nothing at all."));
        // The smart fragment: a line feed and six lines, 456 characters.
        const qsizetype start = text.indexOf(QStringLiteral("\nClean"));
        const qsizetype end = text.indexOf(QStringLiteral("\n\nNever"));
        QCOMPARE(end - start, 456);
    }

    void modesWordsAndEmptyPrompt()
    {
        Config c;
        c.prompt = QString();
        c.transcriptionMode = QStringLiteral("Smart");
        c.customVocabulary = {QStringLiteral("Vesk")};
        const QString text = GeminiClient::from(c).fullPrompt();
        QVERIFY(
            text.startsWith(QStringLiteral("\n\nWrite down every word exactly as spoken, including "
                                           "repetitions, filler\nsounds and false starts.")));
        QVERIFY(text.contains(QStringLiteral(
            "\n\nThese names come up often and are easy to mishear \u2014 spell them\nexactly like "
            "this when you hear them: Vesk.\n\nNever translate")));
        QVERIFY(text.endsWith(QStringLiteral("output nothing at all.")));
    }
};

QTEST_GUILESS_MAIN(PromptTest)
#include "tst_prompt.moc"
