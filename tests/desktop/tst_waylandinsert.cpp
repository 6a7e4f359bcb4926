#include "DesktopSession.h"
#include "KeyPoster.h"
#include "TestSupport.h"
#include "TextInjector.h"
#include "WaylandKeyboard.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <linux/input-event-codes.h>

// Insertions into real Wayland clients (a Qt text field and a GTK 3 text view) under the headless
// sway session that scripts/test starts. The "user's" clipboard comes from another program
// (wl-copy), as on a desktop.
class WaylandInsertTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_client;
    std::unique_ptr<PlatformLoader> m_platform;
    std::unique_ptr<TextInjector> m_injector;
    const QString m_mixed = QStringLiteral("Salom, oʻzbek — Привет, готово! 中文 😀 ok");

    QString outputFile() const { return m_dir.filePath(QStringLiteral("received.txt")); }

    QString received() const
    {
        QFile f(outputFile());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    static QByteArray clipboardTypes()
    {
        return TestSupport::runServing(QStringLiteral("wl-paste"),
                                       {QStringLiteral("--list-types")});
    }

    static QByteArray clipboardOf(const QString &type)
    {
        return TestSupport::runServing(
            QStringLiteral("wl-paste"),
            {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
    }

    // Starts a text client (Qt or GTK on Wayland) and waits until its field has the focus.
    void startClient(const QString &kind)
    {
        m_client.kill();
        m_client.waitForFinished();
        QFile::remove(outputFile());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
        m_client.setProcessEnvironment(env);
        m_client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (kind == QLatin1String("gtk"))
            m_client.start(TestSupport::sourceDir() +
                               QStringLiteral("/tests/desktop/gtk_textclient.py"),
                           {outputFile()});
        else
            m_client.start(TestSupport::binaryDir() +
                               QStringLiteral("/tests/desktop/vesk_textclient"),
                           {outputFile()});
        QVERIFY(m_client.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += m_client.readAllStandardOutput()).startsWith("ready"),
                                 30000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        const QByteArray display = qgetenv("VESK_TEST_WAYLAND_DISPLAY");
        if (display.isEmpty())
            QSKIP("no headless sway session (scripts/test starts one; see sway.log in its "
                  "services folder)");
        // Before anything asks which session this is.
        qputenv("WAYLAND_DISPLAY", display);
        qputenv("SWAYSOCK", qgetenv("VESK_TEST_SWAYSOCK"));
        qputenv("VESK_SESSION", "wayland");
        QCOMPARE(DesktopSession::current().kind, DesktopSession::Kind::wayland);
        m_platform = PlatformLoader::load();
        m_injector = std::make_unique<TextInjector>(*m_platform);
    }

    void cleanup()
    {
        m_injector.reset();
        m_client.kill();
        m_client.waitForFinished();
    }

    void insertionArrivesExactlyAndTheClipboardComesBack_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("text");
        // A key the user still holds (an evdev code; 0 for none).
        QTest::addColumn<int>("held");
        const QString lines = QStringLiteral("Первая строка\nsecond line ✓");
        for (const char *client : {"qt", "gtk"}) {
            for (const char *method : {"type", "paste"}) {
                QTest::addRow("%s %s", client, method)
                    << QString::fromLatin1(client) << QString::fromLatin1(method) << m_mixed << 0;
            }
        }
        QTest::newRow("qt type lines") << "qt"
                                       << "type" << lines << 0;
        QTest::newRow("qt paste, Alt held") << "qt"
                                            << "paste" << m_mixed << KEY_LEFTALT;
        // More distinct characters than one keymap has key codes for.
        QString many;
        for (char32_t c = 0x4e00; c < 0x4e00 + 300; ++c)
            many += QString::fromUcs4(&c, 1);
        QTest::newRow("gtk type 300 ideographs") << "gtk"
                                                 << "type" << many << 0;
    }

    void insertionArrivesExactlyAndTheClipboardComesBack()
    {
        QFETCH(QString, client);
        QFETCH(QString, method);
        QFETCH(QString, text);
        QFETCH(int, held);
        // The user's clipboard: a format that is not text, from another program.
        const QByteArray html = QByteArrayLiteral("<b>the user's own</b>");
        QProcess copy;
        copy.start(QStringLiteral("wl-copy"),
                   {QStringLiteral("--type"), QStringLiteral("text/html")});
        QVERIFY(copy.waitForStarted());
        copy.write(html);
        copy.closeWriteChannel();
        QVERIFY(copy.waitForFinished());
        QTRY_COMPARE(clipboardOf(QStringLiteral("text/html")), html);
        const QByteArray types = clipboardTypes();

        startClient(client);
        WaylandKeyboard keyboard;
        if (held) {
            QVERIFY(keyboard.open());
            keyboard.key(held, true);
        }
        m_injector->insert(text, method, QStringLiteral("shiftReturn"));
        QTRY_COMPARE_WITH_TIMEOUT(received(), text, 20000);
        if (held)
            keyboard.key(held, false);
        QTRY_VERIFY_WITH_TIMEOUT(!m_injector->isBusy(), 10000);
        QCOMPARE(clipboardTypes(), types);
        QCOMPARE(clipboardOf(QStringLiteral("text/html")), html);
    }

    // What picks the paste keys: a terminal's name means Control+Shift+V.
    void focusedWindowIsNamed_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("name");
        QTest::newRow("qt") << "qt"
                            << "vesk_textclient";
        QTest::newRow("gtk") << "gtk"
                             << "gtk_textclient.py";
    }

    void focusedWindowIsNamed()
    {
        QFETCH(QString, client);
        QFETCH(QString, name);
        startClient(client);
        const std::unique_ptr<KeyPoster> poster = m_platform->keyPoster();
        QTRY_COMPARE(poster->focusedWindowClass(), QStringList{name});
    }

    void typeCommandTypesUnderSway()
    {
        startClient(QStringLiteral("qt"));
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The command finds the session by itself.
        env.remove(QStringLiteral("VESK_SESSION"));
        cli.setProcessEnvironment(env);
        cli.setProcessChannelMode(QProcess::ForwardedChannels);
        cli.start(TestSupport::executable(), {QStringLiteral("type"), m_mixed});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(received(), m_mixed, 10000);
    }
};

QTEST_MAIN(WaylandInsertTest)
#include "tst_waylandinsert.moc"
