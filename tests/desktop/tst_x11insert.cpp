#include "KeyPoster.h"
#include "TestSupport.h"
#include "TextInjector.h"
#include "XTestInput.h"

#include <QClipboard>
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Insertions into real clients under the X server: a Qt text field that reports what it holds,
// and xterm. The "user's" clipboard comes from another program (xclip), as on a desktop.
class X11InsertTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_client;
    std::unique_ptr<TextInjector> m_injector;

    QString outputFile() const { return m_dir.filePath(QStringLiteral("received.txt")); }

    QString received() const
    {
        QFile f(outputFile());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // Runs a tool while this process keeps answering for the clipboard it may own.
    static QByteArray run(const QString &program, const QStringList &args)
    {
        QProcess p;
        p.start(program, args);
        if (!p.waitForStarted())
            return "<not started>";
        QDeadlineTimer deadline(10000);
        while (p.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(10);
        return p.readAllStandardOutput();
    }

    QByteArray clipboardOf(const char *selection, const char *type = "UTF8_STRING")
    {
        return run(QStringLiteral("xclip"),
                   {QStringLiteral("-selection"), QString::fromLatin1(selection),
                    QStringLiteral("-t"), QString::fromLatin1(type), QStringLiteral("-o")});
    }

    // Another program takes the selection with the file's contents, as a user's copy would.
    void copyElsewhere(const char *selection, const QByteArray &data,
                       const char *type = "UTF8_STRING")
    {
        const QString file = m_dir.filePath(QStringLiteral("copy.bin"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
        f.close();
        QVERIFY(QProcess::startDetached(QStringLiteral("xclip"),
                                        {QStringLiteral("-selection"),
                                         QString::fromLatin1(selection), QStringLiteral("-t"),
                                         QString::fromLatin1(type), QStringLiteral("-i"), file}));
        QTRY_COMPARE(clipboardOf(selection, type), data);
    }

    void waitForFocus(const QString &instance)
    {
        QTRY_COMPARE_WITH_TIMEOUT(XTestInput::focusedClass(), instance, 10000);
    }

    void insert(const QString &text, const char *method, const char *newline = "shiftReturn")
    {
        m_injector->insert(text, QString::fromLatin1(method), QString::fromLatin1(newline));
    }

    void waitIdle() { QTRY_VERIFY_WITH_TIMEOUT(!m_injector->isBusy(), 10000); }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        VESK_REQUIRE_DISPLAY();
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        QFile::remove(outputFile());
        m_injector = std::make_unique<TextInjector>(createKeyPoster());
        m_client.setProgram(TestSupport::binaryDir() +
                            QStringLiteral("/tests/desktop/vesk_textclient"));
        m_client.setArguments({outputFile()});
        m_client.start();
        QVERIFY(m_client.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += m_client.readAllStandardOutput()).startsWith("ready"),
                                 10000);
        waitForFocus(QStringLiteral("vesk_textclient"));
    }

    void cleanup()
    {
        m_injector.reset();
        m_client.kill();
        m_client.waitForFinished();
    }

    void typedTextArrivesExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("mixed scripts") << QStringLiteral("Salom, oʻzbek — Привет 中文 😀")
                                       << QStringLiteral("Salom, oʻzbek — Привет 中文 😀");
        QTest::newRow("40 characters")
            << QStringLiteral("The quick brown fox jumps over 13 dogs!?")
            << QStringLiteral("The quick brown fox jumps over 13 dogs!?");
        // More distinct characters than one binding round holds, several times over.
        QString many;
        for (char32_t c = 0x0410; c < 0x0450; ++c)
            many += QString::fromUcs4(&c, 1);
        for (char32_t c = 0x4E00; c < 0x4E40; ++c)
            many += QString::fromUcs4(&c, 1);
        QTest::newRow("many distinct characters") << many << many;
        QTest::newRow("shiftReturn") << QStringLiteral("a\r\nb") << QStringLiteral("a\nb");
    }

    void typedTextArrivesExactly()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        insert(text, "type");
        QTRY_COMPARE_WITH_TIMEOUT(received(), expected, 10000);
    }

    void theKeyboardMapIsPutBackAfterAWhile()
    {
        insert(QStringLiteral("中文"), "type");
        QTRY_COMPARE_WITH_TIMEOUT(received(), QStringLiteral("中文"), 10000);
        // Bound still, for a client that reads its keys late; free again a few seconds on.
        QVERIFY(XTestInput::keysymOnKeyboard("U4E2D"));
        QTRY_VERIFY_WITH_TIMEOUT(!XTestInput::keysymOnKeyboard("U4E2D"), 10000);
    }

    void heldModifierDoesNotLeakIntoTyping()
    {
        const int shift = XTestInput::keycode("Shift_L");
        XTestInput::key(shift, true);
        insert(QStringLiteral("abc"), "type");
        XTestInput::key(shift, false);
        QTRY_COMPARE(received(), QStringLiteral("abc"));
    }

    void pasteThenThePreviousTextIsBack()
    {
        copyElsewhere("clipboard", "previous");
        insert(QStringLiteral(" pasted text "), "paste");
        QTRY_COMPARE(received(), QStringLiteral("pasted text"));
        waitIdle();
        QCOMPARE(clipboardOf("clipboard"), QByteArray("previous"));
    }

    void copiedImageSurvivesAPaste()
    {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray png;
        {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
        }
        copyElsewhere("clipboard", png, "image/png");
        insert(QStringLiteral("over an image"), "paste");
        QTRY_COMPARE(received(), QStringLiteral("over an image"));
        waitIdle();
        QCOMPARE(clipboardOf("clipboard", "image/png"), png);
    }

    void twoPastesInARowEndWithTheUsersText()
    {
        copyElsewhere("clipboard", "mine");
        insert(QStringLiteral("first "), "paste");
        QTest::qWait(100);
        insert(QStringLiteral("second"), "paste");
        QTRY_COMPARE_WITH_TIMEOUT(received(), QStringLiteral("firstsecond"), 5000);
        waitIdle();
        QCOMPARE(clipboardOf("clipboard"), QByteArray("mine"));
    }

    void newCopyDuringAPasteIsKept()
    {
        copyElsewhere("clipboard", "old");
        insert(QStringLiteral("dictated"), "paste");
        QTRY_COMPARE(received(), QStringLiteral("dictated"));
        QVERIFY(m_injector->isBusy());
        copyElsewhere("clipboard", "newer");
        waitIdle();
        QTest::qWait(100);
        QCOMPARE(clipboardOf("clipboard"), QByteArray("newer"));
    }

    void whiteSpaceInsertsNothing()
    {
        copyElsewhere("clipboard", "untouched");
        insert(QStringLiteral(" \r\n\t "), "paste");
        insert(QStringLiteral("\n \n"), "type");
        QVERIFY(!m_injector->isBusy());
        QTest::qWait(300);
        QVERIFY(!QFile::exists(outputFile()));
        QCOMPARE(clipboardOf("clipboard"), QByteArray("untouched"));
    }

    void xtermReceivesPastedText()
    {
        const QString out = m_dir.filePath(QStringLiteral("xterm.txt"));
        QProcess xterm;
        // Raw input: every pasted byte reaches the file at once, without a line end.
        xterm.start(QStringLiteral("xterm"),
                    {QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                     QStringLiteral("stty -icanon -echo; exec cat > \"$0\""), out});
        QVERIFY(xterm.waitForStarted());
        waitForFocus(QStringLiteral("xterm"));
        QTRY_VERIFY(QFile::exists(out));
        copyElsewhere("primary", "selected");
        copyElsewhere("clipboard", "copied");
        insert(QStringLiteral("echo terminal"), "paste");
        QTRY_COMPARE_WITH_TIMEOUT(
            [&] {
                QFile f(out);
                return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            }(),
            QByteArray("echo terminal"), 5000);
        waitIdle();
        QCOMPARE(clipboardOf("primary"), QByteArray("selected"));
        QCOMPARE(clipboardOf("clipboard"), QByteArray("copied"));
        xterm.kill();
        xterm.waitForFinished();
    }
};

QTEST_MAIN(X11InsertTest)
#include "tst_x11insert.moc"
