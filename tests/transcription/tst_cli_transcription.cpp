#include "Config.h"
#include "GeminiClient.h"
#include "TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class CliTranscriptionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    struct Run
    {
        int code = -1;
        QByteArray out, err;
    };

    Run run(const QStringList &args, const Config &config)
    {
        config.saveTo(m_dir.path() + QStringLiteral("/config.json"));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VESK_DATA_DIR"), m_dir.path());
        env.remove(QStringLiteral("GEMINI_API_KEY"));
        // Nothing listens here: no request may leave the machine.
        env.insert(QStringLiteral("VESK_GEMINI_BASE_URL"), QStringLiteral("http://127.0.0.1:9"));
        p.setProcessEnvironment(env);
        p.start(TestSupport::executable(), args);
        if (!p.waitForFinished(60000))
            return {};
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }

private Q_SLOTS:
    void promptIsPrintedExactly()
    {
        Config c;
        c.languageCodes = {QStringLiteral("uz-UZ"), QStringLiteral("ru-RU")};
        c.customVocabulary = {QStringLiteral("Oʻzbekiston")};
        const Run r = run({QStringLiteral("prompt")}, c);
        QCOMPARE(r.code, 0);
        QCOMPARE(QString::fromUtf8(r.out), GeminiClient::from(c).fullPrompt());
    }

    void failuresExitOneWithTheDescription()
    {
        const QString file = m_dir.path() + QStringLiteral("/a.wav");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("RIFF");
        f.close();
        Run r = run({QStringLiteral("transcribe"), file}, Config());
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.trimmed(),
                 QByteArray("No API key. Add it in Settings, or set GEMINI_API_KEY."));
        QVERIFY(r.out.isEmpty());

        r = run({QStringLiteral("models")}, Config());
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.startsWith("No API key."));

        Config keyed;
        keyed.apiKey = QStringLiteral("secret-key");
        r = run({QStringLiteral("transcribe"), m_dir.path() + QStringLiteral("/missing.wav")},
                keyed);
        QCOMPARE(r.code, 1);
        QVERIFY(!r.err.isEmpty());
        QVERIFY(!r.err.contains("secret-key"));
    }

    void usageErrors()
    {
        QCOMPARE(run({QStringLiteral("transcribe")}, Config()).code, 2);
        QCOMPARE(run({QStringLiteral("prompt"), QStringLiteral("extra")}, Config()).code, 2);
        QCOMPARE(run({QStringLiteral("--bogus")}, Config()).code, 2);
        const Run help = run({QStringLiteral("--help")}, Config());
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains("transcribe FILE"));
    }
};

QTEST_GUILESS_MAIN(CliTranscriptionTest)
#include "tst_cli_transcription.moc"
