#include "desktop/KeyEvent.h"
#include "TestSupport.h"
#include "desktop/TextInjector.h"
#include "desktop/TypingPlan.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QtTest>

namespace {

// The platform boundary: records what would reach the keyboard, and what the clipboard held
// when a paste key went out.
class RecordingPoster : public KeyPoster
{
public:
    QStringList *log;
    QStringList windowClass;

    explicit RecordingPoster(QStringList *into) : log(into) {}
    void beginInsertion(const QString &) override { log->append(QStringLiteral("begin")); }
    int postText(QString &text) override
    {
        log->append(QStringLiteral("text:") + text);
        text.clear();
        return 0;
    }
    void postKey(Key key, quint64 flags) override
    {
        QString name = key == Key::returnKey ? QStringLiteral("Return")
                       : key == Key::v       ? QStringLiteral("V")
                                             : QStringLiteral("Insert");
        if (flags & ModifierFlag::shift)
            name.prepend(QStringLiteral("Shift+"));
        if (flags & ModifierFlag::option)
            name.prepend(QStringLiteral("Alt+"));
        if (flags & ModifierFlag::control)
            name.prepend(QStringLiteral("Ctrl+"));
        if (key != Key::returnKey)
            name += QStringLiteral(" pastes ") + QGuiApplication::clipboard()->text();
        log->append(name);
    }
    void endInsertion() override { log->append(QStringLiteral("end")); }
    QStringList focusedWindowClass() override { return windowClass; }
    bool typesBeyondBmp() const override { return beyondBmp; }
    bool beyondBmp = true;
};

QStringList pieces(const QList<TypingStep> &steps)
{
    QStringList out;
    for (const TypingStep &s : steps)
        out.append(s.kind == TypingStep::Kind::lineBreak
                       ? QStringLiteral("<break %1>").arg(s.flags, 0, 16)
                       : s.text);
    return out;
}

} // namespace

class TextInjectorTest : public QObject
{
    Q_OBJECT

    QStringList m_log;
    RecordingPoster *m_poster = nullptr;
    std::unique_ptr<TextInjector> m_injector;

    void waitIdle() { QTRY_VERIFY_WITH_TIMEOUT(!m_injector->isBusy(), 5000); }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void init()
    {
        m_log.clear();
        auto poster = std::make_unique<RecordingPoster>(&m_log);
        m_poster = poster.get();
        m_injector = std::make_unique<TextInjector>(std::move(poster),
                                                    std::make_unique<QtClipboardReader>());
        QGuiApplication::clipboard()->clear();
    }

    void cleanup() { m_injector.reset(); }

    void chunkedKeepsGraphemesWhole()
    {
        QCOMPARE(TypingPlan::chunked(QString(), 16), QStringList());
        const QString forty = QString(40, QLatin1Char('x'));
        const QStringList p = TypingPlan::chunked(forty, 16);
        QCOMPARE(p.size(), 3);
        QCOMPARE(p[0].size(), 16);
        QCOMPARE(p[1].size(), 16);
        QCOMPARE(p[2].size(), 8);
        // A family emoji is five code points (eight UTF-16 units) and one character.
        const QString family = QStringLiteral("👨‍👩‍👧");
        const QString text = QString(15, QLatin1Char('a')) + family + QStringLiteral("bc");
        const QStringList q = TypingPlan::chunked(text, 16);
        QCOMPARE(q, (QStringList{QString(15, QLatin1Char('a')) + family, "bc"}));
        QCOMPARE(TypingPlan::chunked(QStringLiteral("e\u0301e\u0301"), 1),
                 (QStringList{"e\u0301", "e\u0301"}));
    }

    void planOfLineBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("crlf shift") << "a\r\nb"
                                    << "shiftReturn" << QStringList{"a", "<break 20000>", "b"};
        QTest::newRow("lone cr, option")
            << "a\rb"
            << "optionReturn" << QStringList{"a", "<break 80000>", "b"};
        QTest::newRow("return is plain")
            << "a\n\nb"
            << "return" << QStringList{"a", "<break 0>", "<break 0>", "b"};
        QTest::newRow("space") << "a\nb"
                               << "space" << QStringList{"a", " ", "b"};
        QTest::newRow("unknown mode") << "a\nb"
                                      << "bogus" << QStringList{"a", "<break 20000>", "b"};
    }

    void planOfLineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QString, mode);
        QFETCH(QStringList, steps);
        QCOMPARE(pieces(TypingPlan::plan(text, NewlineModes::fromRaw(mode))), steps);
    }

    void newlineModesRoundTrip()
    {
        for (NewlineMode m : NewlineModes::all())
            QCOMPARE(NewlineModes::fromRaw(NewlineModes::rawValue(m)), m);
        QCOMPARE(NewlineModes::rawValue(NewlineMode::plain), QStringLiteral("return"));
        QVERIFY(!NewlineModes::isRawValue(QStringLiteral("plain")));
    }

    void typingPostsPiecesAndBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("windowClass");
        QTest::addColumn<bool>("beyondBmp");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("pieces and a break")
            << QStringLiteral("  0123456789abcdefghijklmnopqrstuvwxyzABCD\r\nb \n") << QStringList{}
            << true
            << QStringList{"begin",
                           "text:0123456789abcdef",
                           "text:ghijklmnopqrstuv",
                           "text:wxyzABCD",
                           "Shift+Return",
                           "text:b",
                           "end"};
        // Shift+Return means something else to a terminal.
        QTest::newRow("terminal") << QStringLiteral("a\nb") << QStringList{"foot"} << true
                                  << QStringList{"begin", "text:a", "Return", "text:b", "end"};
        // The poster's clients would cut them to 16 bits: pasted, the user's clipboard back after.
        QTest::newRow("past U+FFFF pasted")
            << QStringLiteral("ok 😀👍🏽 da\n🙂") << QStringList{} << false
            << QStringList{"begin",
                           "text:ok ",
                           "end",
                           "begin",
                           "Ctrl+V pastes 😀👍🏽",
                           "end",
                           "begin",
                           "text: da",
                           "Shift+Return",
                           "end",
                           "begin",
                           "Ctrl+V pastes 🙂",
                           "end"};
    }

    void typingPostsPiecesAndBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, windowClass);
        QFETCH(bool, beyondBmp);
        QFETCH(QStringList, log);
        m_poster->windowClass = windowClass;
        m_poster->beyondBmp = beyondBmp;
        QGuiApplication::clipboard()->setText(QStringLiteral("the user's"));
        m_injector->insert(text, QStringLiteral("type"), QStringLiteral("shiftReturn"));
        waitIdle();
        QCOMPARE(m_log, log);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("the user's"));
    }

    void pasteKeysFollowTheWindow_data()
    {
        QTest::addColumn<QStringList>("windowClass");
        QTest::addColumn<int>("keys");
        using P = TextInjector::PasteKeys;
        QTest::newRow("editor") << QStringList{"kate", "kate"} << int(P::controlV);
        QTest::newRow("unknown") << QStringList() << int(P::controlV);
        QTest::newRow("gnome") << QStringList{"gnome-terminal-server", "Gnome-terminal"}
                               << int(P::controlShiftV);
        QTest::newRow("konsole") << QStringList{"konsole", "konsole"} << int(P::controlShiftV);
        QTest::newRow("kitty") << QStringList{"kitty", "kitty"} << int(P::controlShiftV);
        QTest::newRow("xterm") << QStringList{"xterm", "XTerm"} << int(P::shiftInsert);
        QTest::newRow("urxvt") << QStringList{"urxvt", "URxvt"} << int(P::shiftInsert);
        QTest::newRow("st") << QStringList{"st-256color", "st-256color"} << int(P::shiftInsert);
    }

    void pasteKeysFollowTheWindow()
    {
        QFETCH(QStringList, windowClass);
        QFETCH(int, keys);
        QCOMPARE(int(TextInjector::pasteKeysFor(windowClass)), keys);
    }

    void pasteMarksTheTranscriptAndPutsTheTextBack()
    {
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("mine"));
        m_injector->insert(QStringLiteral(" hello "), QStringLiteral("paste"), QString());
        QTRY_COMPARE(clipboard->text(), QStringLiteral("hello"));
        QCOMPARE(clipboard->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")),
                 QByteArrayLiteral("secret"));
        waitIdle();
        QCOMPARE(m_log, (QStringList{"begin", "Ctrl+V pastes hello", "end"}));
        QCOMPARE(clipboard->text(), QStringLiteral("mine"));
        QVERIFY(!clipboard->mimeData()->hasFormat(QStringLiteral("x-kde-passwordManagerHint")));
    }

    void pasteIntoEmptyClipboardLeavesTheTranscript()
    {
        m_injector->insert(QStringLiteral("kept"), QStringLiteral("anything"), QString());
        waitIdle();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    }

    void everyFormatComesBack()
    {
        auto *data = new QMimeData;
        data->setHtml(QStringLiteral("<b>rich</b>"));
        data->setText(QStringLiteral("rich"));
        data->setData(QStringLiteral("application/x-custom"), QByteArray("\x00\x01\x02", 3));
        QGuiApplication::clipboard()->setMimeData(data);
        m_injector->insert(QStringLiteral("t"), QStringLiteral("paste"), QString());
        waitIdle();
        const QMimeData *back = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(back->html(), QStringLiteral("<b>rich</b>"));
        QCOMPARE(back->text(), QStringLiteral("rich"));
        QCOMPARE(back->data(QStringLiteral("application/x-custom")), QByteArray("\x00\x01\x02", 3));
    }

    // White space alone inserts nothing; insertions in a row end with the user's clipboard.
    void twoInsertionsInARowEndWithTheUsersClipboard()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("mine"));
        m_injector->insert(QStringLiteral(" \n\t\r\n "), QStringLiteral("type"),
                           QStringLiteral("return"));
        m_injector->insert(QStringLiteral("\n  \n"), QStringLiteral("paste"),
                           QStringLiteral("return"));
        QVERIFY(!m_injector->isBusy());
        QVERIFY(m_log.isEmpty());
        m_injector->insert(QStringLiteral("first"), QStringLiteral("paste"), QString());
        QTest::qWait(20);
        m_injector->insert(QStringLiteral("second"), QStringLiteral("paste"), QString());
        m_injector->insert(QStringLiteral("third"), QStringLiteral("type"), QString());
        waitIdle();
        QCOMPARE(m_log, (QStringList{"begin", "Ctrl+V pastes first", "end", "begin",
                                     "Ctrl+V pastes second", "end", "begin", "text:third", "end"}));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("mine"));
    }

    void newCopyDuringPasteIsNotOverwritten()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("old"));
        m_injector->insert(QStringLiteral("transcript"), QStringLiteral("paste"), QString());
        QTRY_VERIFY(m_log.size() == 3);
        QGuiApplication::clipboard()->setText(QStringLiteral("new"));
        waitIdle();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("new"));
    }

    void terminalsGetTheirKeysAndXtermThePrimarySelection()
    {
        m_poster->windowClass = {QStringLiteral("konsole"), QStringLiteral("konsole")};
        m_injector->insert(QStringLiteral("one"), QStringLiteral("paste"), QString());
        waitIdle();
        QCOMPARE(m_log.at(1), QStringLiteral("Ctrl+Shift+V pastes one"));
        if (!QGuiApplication::clipboard()->supportsSelection())
            return; // offscreen has no primary selection; the X tests cover it
        m_poster->windowClass = {QStringLiteral("xterm"), QStringLiteral("XTerm")};
        QGuiApplication::clipboard()->setText(QStringLiteral("sel"), QClipboard::Selection);
        m_injector->insert(QStringLiteral("two"), QStringLiteral("paste"), QString());
        QTRY_COMPARE(QGuiApplication::clipboard()->text(QClipboard::Selection),
                     QStringLiteral("two"));
        waitIdle();
        QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("sel"));
    }
};

QTEST_MAIN(TextInjectorTest)
#include "tst_textinjector.moc"
