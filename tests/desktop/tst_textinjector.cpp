#include "desktop/KeyEvent.h"
#include "TestSupport.h"
#include "desktop/TextInjector.h"
#include "desktop/TypingPlan.h"

#include <QtGui>
#include <QtTest>

namespace {

// The platform boundary: records what would reach the keyboard, and what the clipboard held
// when a paste key went out.
class RecordingPoster : public KeyPoster
{
public:
    QStringList log;
    QStringList windowClass;

    void beginInsertion(const QString &) override { log.append(u"begin"_s); }
    int postText(QString &text) override
    {
        log.append(u"text:"_s + text);
        text.clear();
        return 0;
    }
    void postKey(Key key, quint64 flags) override
    {
        QString name = key == Key::returnKey ? u"Return"_s : key == Key::v ? u"V"_s : u"Insert"_s;
        if (flags & ModifierFlag::shift)
            name.prepend(u"Shift+"_s);
        if (flags & ModifierFlag::option)
            name.prepend(u"Alt+"_s);
        if (flags & ModifierFlag::control)
            name.prepend(u"Ctrl+"_s);
        if (key != Key::returnKey)
            name += u" pastes "_s + QGuiApplication::clipboard()->text();
        log.append(name);
    }
    void endInsertion() override { log.append(u"end"_s); }
    QStringList focusedWindowClass() override { return windowClass; }
    bool typesBeyondBmp() const override { return beyondBmp; }
    bool beyondBmp = true;
};

QStringList pieces(const QList<TypingStep> &steps)
{
    QStringList out;
    for (const TypingStep &s : steps)
        out.append(s.kind == TypingStep::Kind::lineBreak ? u"<break %1>"_s.arg(s.flags, 0, 16)
                                                         : s.text);
    return out;
}

} // namespace

class TextInjectorTest : public QObject
{
    Q_OBJECT

    RecordingPoster *m_poster = nullptr;
    std::unique_ptr<TextInjector> m_injector;

    void waitIdle() { QTRY_VERIFY_WITH_TIMEOUT(!m_injector->isBusy(), 5000); }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void init()
    {
        auto poster = std::make_unique<RecordingPoster>();
        m_poster = poster.get();
        m_injector = std::make_unique<TextInjector>(std::move(poster),
                                                    std::make_unique<QtClipboardReader>());
        QGuiApplication::clipboard()->clear();
    }

    void cleanup() { m_injector.reset(); }

    void chunkedKeepsGraphemesWhole()
    {
        // Plain text in pieces of 16: typingPostsPiecesAndBreaks; nothing: planOfLineBreaks.
        // A family emoji is five code points (eight UTF-16 units) and one character.
        const QString family = u"👨‍👩‍👧"_s;
        const QString text = QString(15, u'a') + family + u"bc"_s;
        const QStringList q = TypingPlan::chunked(text, 16);
        QCOMPARE(q, (QStringList{QString(15, u'a') + family, "bc"}));
        QCOMPARE(TypingPlan::chunked(u"e\u0301e\u0301"_s, 1), (QStringList{"e\u0301", "e\u0301"}));
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
        // The mode's own name is no value of the setting.
        QTest::newRow("unknown mode") << "a\nb"
                                      << "plain" << QStringList{"a", "<break 20000>", "b"};
    }

    void planOfLineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QString, mode);
        QFETCH(QStringList, steps);
        const NewlineMode parsed = NewlineModes::fromRaw(mode);
        QCOMPARE(pieces(TypingPlan::plan(text, parsed)), steps);
        QCOMPARE(NewlineModes::isRawValue(mode), mode != "plain"_L1);
        QCOMPARE(NewlineModes::rawValue(parsed), mode == "plain"_L1 ? u"shiftReturn"_s : mode);
    }

    void typingPostsPiecesAndBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("windowClass");
        QTest::addColumn<bool>("beyondBmp");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("pieces and a break")
            << u"  0123456789abcdefghijklmnopqrstuvwxyzABCD\r\nb \n"_s << QStringList{} << true
            << QStringList{"begin",
                           "text:0123456789abcdef",
                           "text:ghijklmnopqrstuv",
                           "text:wxyzABCD",
                           "Shift+Return",
                           "text:b",
                           "end"};
        // The poster's clients would cut them to 16 bits: pasted, the user's clipboard back after.
        QTest::newRow("past U+FFFF pasted") << u"ok 😀👍🏽 da\n🙂"_s << QStringList{}
                                            << false << QStringList{"begin",
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
        QGuiApplication::clipboard()->setText(u"the user's"_s);
        m_injector->insert(text, u"type"_s, u"shiftReturn"_s);
        waitIdle();
        QCOMPARE(m_poster->log, log);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"the user's"_s);
    }

    void pasteKeysFollowTheWindow_data()
    {
        QTest::addColumn<QStringList>("windowClass");
        QTest::addColumn<int>("keys");
        // An editor's and xterm's: tst_x11insert pastes into both.
        using P = TextInjector::PasteKeys;
        QTest::newRow("unknown") << QStringList() << int(P::controlV);
        QTest::newRow("gnome") << QStringList{"gnome-terminal-server", "Gnome-terminal"}
                               << int(P::controlShiftV);
        QTest::newRow("konsole") << QStringList{"konsole", "konsole"} << int(P::controlShiftV);
        QTest::newRow("kitty") << QStringList{"kitty", "kitty"} << int(P::controlShiftV);
        QTest::newRow("urxvt") << QStringList{"urxvt", "URxvt"} << int(P::shiftInsert);
        QTest::newRow("st") << QStringList{"st-256color", "st-256color"} << int(P::shiftInsert);
    }

    void pasteKeysFollowTheWindow()
    {
        QFETCH(QStringList, windowClass);
        QFETCH(int, keys);
        QCOMPARE(int(TextInjector::pasteKeysFor(windowClass)), keys);
    }

    // Marked for password managers while it is there; every format of the user's comes back.
    void pasteMarksTheTranscriptAndPutsEveryFormatBack()
    {
        auto *data = new QMimeData;
        data->setHtml(u"<b>rich</b>"_s);
        data->setText(u"rich"_s);
        data->setData(u"application/x-custom"_s, QByteArray("\x00\x01\x02", 3));
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setMimeData(data);
        m_injector->insert(u" hello "_s, u"paste"_s, QString());
        QTRY_COMPARE(clipboard->text(), u"hello"_s);
        QCOMPARE(clipboard->mimeData()->data(u"x-kde-passwordManagerHint"_s), "secret"_ba);
        waitIdle();
        const QMimeData *back = clipboard->mimeData();
        QVERIFY(!back->hasFormat(u"x-kde-passwordManagerHint"_s));
        QCOMPARE(back->html(), u"<b>rich</b>"_s);
        QCOMPARE(back->text(), u"rich"_s);
        QCOMPARE(back->data(u"application/x-custom"_s), QByteArray("\x00\x01\x02", 3));
    }

    void pasteIntoEmptyClipboardLeavesTheTranscript()
    {
        m_injector->insert(u"kept"_s, u"anything"_s, QString());
        waitIdle();
        QCOMPARE(QGuiApplication::clipboard()->text(), u"kept"_s);
    }

    // White space alone inserts nothing; a paste and typing in a row end with the user's
    // clipboard (two pastes: tst_x11insert).
    void twoInsertionsInARowEndWithTheUsersClipboard()
    {
        QGuiApplication::clipboard()->setText(u"mine"_s);
        m_injector->insert(u" \n\t\r\n "_s, u"type"_s, u"return"_s);
        m_injector->insert(u"\n  \n"_s, u"paste"_s, u"return"_s);
        QVERIFY(!m_injector->isBusy());
        QVERIFY(m_poster->log.isEmpty());
        m_injector->insert(u"first"_s, u"paste"_s, QString());
        m_injector->insert(u"second"_s, u"type"_s, QString());
        waitIdle();
        QCOMPARE(m_poster->log, (QStringList{"begin", "Ctrl+V pastes first", "end", "begin",
                                             "text:second", "end"}));
        QCOMPARE(QGuiApplication::clipboard()->text(), u"mine"_s);
    }
};

QTEST_MAIN(TextInjectorTest)
#include "tst_textinjector.moc"
