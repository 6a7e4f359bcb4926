#include "ui/hud/HUDPanel.h"
#include "desktop/PlatformLoader.h"
#include "ui/hud/HUDView.h"
#include "ui/hud/LevelMeter.h"
#include "ui/hud/RoundButton.h"
#include "TestSupport.h"
#include "XTestInput.h"

#include <QLineEdit>
#include <QToolTip>
#include <QtTest>

Q_DECLARE_METATYPE(std::optional<double>)

// The floating button: its placement and width rules, its four looks and their actions, and on
// the real X server, that it never takes the focus, stays on every workspace and drags.
class HUDTest : public QObject
{
    Q_OBJECT

    struct Rig
    {
        AppState state{Config(), History()};
        int toggles = 0;
        // The platform's own pinning: EWMH hints on the X server, nothing offscreen.
        const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
        HUDPanel panel{&state, platform->windowPinning(), [this] { ++toggles; }, [] {}, [] {}};
        HUDView *view() const { return panel.view(); }
    };

    static QRect frame(const HUDPanel &panel) { return {panel.screenPosition(), panel.size()}; }

private Q_SLOTS:
    void initTestCase()
    {
        VESK_REQUIRE_DISPLAY();
        TestSupport::isolateDataDir();
    }

    void placement_data()
    {
        using O = std::optional<double>;
        QTest::addColumn<QSize>("size");
        QTest::addColumn<O>("x");
        QTest::addColumn<O>("y");
        QTest::addColumn<QPoint>("expected");
        // The visible area is (0, 30) to (1280, 800) below.
        QTest::newRow("nothing stored") << QSize(48, 44) << O() << O() << QPoint(616, 716);
        QTest::newRow("only x") << QSize(48, 44) << O(10) << O() << QPoint(616, 716);
        QTest::newRow("only y") << QSize(48, 44) << O() << O(10) << QPoint(616, 716);
        QTest::newRow("inside") << QSize(48, 44) << O(100) << O(200) << QPoint(100, 200);
        QTest::newRow("beyond right and bottom")
            << QSize(48, 44) << O(5000) << O(5000) << QPoint(1232, 756);
        QTest::newRow("beyond left and top") << QSize(48, 44) << O(-300) << O(0) << QPoint(0, 30);
        QTest::newRow("fractions round") << QSize(48, 44) << O(10.6) << O(40.4) << QPoint(11, 40);
        QTest::newRow("wider than the screen: far edge wins")
            << QSize(1400, 44) << O(0) << O(100) << QPoint(-120, 100);
    }

    void placement()
    {
        QFETCH(QSize, size);
        QFETCH(std::optional<double>, x);
        QFETCH(std::optional<double>, y);
        QFETCH(QPoint, expected);
        QCOMPARE(HUDPanel::placement(QRect(0, 30, 1280, 770), size, x, y), expected);
    }

    void widthFollowsThePhaseAboutTheCentre()
    {
        Rig rig;
        Config c;
        c.hudX = 400;
        c.hudY = 300;
        rig.panel.restorePosition(c);
        rig.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.panel));
        QTRY_COMPARE(XTestInput::origin(rig.panel.winId()), QPoint(400, 300));
        // The server can be there before Qt has read the window manager's last move.
        QTRY_COMPARE(frame(rig.panel), QRect(400, 300, 48, 44));

        // Where the window lands on the server, and the place kept, are tst_dictation's
        // floatingButtonClickAndSend and tst_shell's floatingButtonFollowsTheDictation.
        QVERIFY(!rig.panel.applyWidth(AppState::Phase::idle));
        QVERIFY(rig.panel.applyWidth(AppState::Phase::recording));
        QCOMPARE(frame(rig.panel), QRect(335, 300, 178, 44));
        QVERIFY(!rig.panel.applyWidth(AppState::Phase::recording));
        for (auto phase : {AppState::Phase::working, AppState::Phase::failed}) {
            rig.panel.applyWidth(AppState::Phase::recording);
            QVERIFY(rig.panel.applyWidth(phase));
            QCOMPARE(frame(rig.panel), QRect(400, 300, 48, 44));
        }
    }

    void levelBars()
    {
        const double loud[] = {14.08, 20, 20, 20, 14.08};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(LevelMeter::barHeights(0)[i], 4.0);
            QCOMPARE(LevelMeter::barHeights(1)[i], loud[i]);
        }
        QCOMPARE(LevelMeter::barHeights(0.5)[2], 15.2);
    }

    void looksAndActions()
    {
        Rig rig;
        HUDView *v = rig.view();
        // Hidden, so that no real pointer is over it: the capsule brightens under the pointer,
        // and any phase but idle keeps the darker fill without it.
        QCOMPARE(v->fillOpacity(), 0.45);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(v, &enter);
        QTRY_COMPARE(v->fillOpacity(), 0.72);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(v, &leave);
        QTRY_COMPARE(v->fillOpacity(), 0.45);
        rig.state.setPhase(AppState::Phase::failed);
        QTRY_COMPARE(v->fillOpacity(), 0.72);
        rig.state.setPhase(AppState::Phase::idle);

        rig.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.panel));
        // Idle without and with the input permission.
        QCOMPARE(v->mainButton()->symbol(), u"mic.slash.fill"_s);
        QVERIFY(qAbs(v->mainButton()->color().alphaF() - 0.45) < 0.001);
        rig.state.setAccessibilityGranted(true);
        QCOMPARE(v->mainButton()->symbol(), u"mic.fill"_s);
        QVERIFY(qAbs(v->mainButton()->color().alphaF() - 0.85) < 0.001);

        // Recording: the row with send and cancel, and nothing else.
        rig.state.setPhase(AppState::Phase::recording);
        QVERIFY(v->recordingRow()->isVisibleTo(v));
        QCOMPARE(v->cancelButton()->toolTip(), u"Cancel (Esc)"_s);
        QVERIFY(!v->mainButton()->isVisibleTo(v));
        rig.state.setLevel(1);
        QCOMPARE(v->levelMeter()->level(), 1.0);

        // Working: a spinner, nothing to click.
        rig.state.setPhase(AppState::Phase::working);
        QVERIFY(v->spinner()->isVisibleTo(v));
        QVERIFY(!v->mainButton()->isVisibleTo(v) && !v->recordingRow()->isVisibleTo(v));

        // Failed: the warning, with a text of its own when there is no message; a click starts
        // again.
        rig.state.setPhase(AppState::Phase::failed);
        QCOMPARE(v->mainButton()->symbol(), u"exclamationmark.triangle.fill"_s);
        QCOMPARE(v->mainButton()->toolTip(), u"Something went wrong"_s);
        QTest::mouseClick(v->mainButton(), Qt::LeftButton);
        QCOMPARE(rig.toggles, 1);
    }

    // On the real X server and window manager, with real pointer input.
    void staysOutOfTheWayOnTheDesktop()
    {
        QLineEdit editor;
        editor.show();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));

        Rig rig;
        rig.state.setAccessibilityGranted(true);
        rig.panel.restorePosition(Config());
        rig.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.panel));
        const unsigned long id = rig.panel.winId();
        QTRY_VERIFY(XTestInput::property(id, "_NET_WM_STATE").contains(u"_NET_WM_STATE_ABOVE"_s));
        QCOMPARE(XTestInput::property(id, "_NET_WM_DESKTOP"),
                 QStringList{QString::number(0xFFFFFFFFul)});

        // A click records and leaves the keyboard where it was: tst_dictation's
        // floatingButtonClickAndSend. A drag moves it and is not a click.
        const QPoint centre = frame(rig.panel).center();
        XTestInput::moveTo(centre.x(), centre.y());
        const QPoint start = rig.panel.screenPosition();
        QSignalSpy moved(&rig.panel, &HUDPanel::moved);
        XTestInput::button(1, true);
        for (int step = 1; step <= 10; ++step) {
            XTestInput::moveTo(centre.x() - 10 * step, centre.y() - 5 * step);
            QTest::qWait(20);
        }
        XTestInput::button(1, false);
        QTRY_COMPARE(rig.panel.screenPosition(), start - QPoint(100, 50));
        QTRY_COMPARE(XTestInput::origin(id), start - QPoint(100, 50));
        QVERIFY(!moved.isEmpty());
        QCOMPARE(moved.last().first().toPoint(), start - QPoint(100, 50));
        QVERIFY(editor.isActiveWindow());

        // The panel never becomes active, yet a real hover shows its tooltips: the failure text,
        // the only explanation the failed look gives (the recording row's are looksAndActions').
        XTestInput::moveTo(0, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!QToolTip::isVisible(), 5000);
        rig.state.setMessage(u"Gemini returned 503: The model is overloaded."_s);
        rig.state.setPhase(AppState::Phase::failed);

        // The pointer arrives from elsewhere and rests over the button.
        QWidget *button = rig.view()->mainButton();
        const QPoint over = button->mapToGlobal(button->rect().center());
        XTestInput::moveTo(over.x() - 2, over.y() - 2);
        QTest::qWait(30);
        XTestInput::moveTo(over.x(), over.y());
        QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), 5000);
        QCOMPARE(QToolTip::text(), rig.state.message());
        QVERIFY(editor.isActiveWindow());
        // Neither the drag nor the hover was a click.
        QCOMPARE(rig.toggles, 0);
        XTestInput::moveTo(0, 0);
    }

    // A live session's words sit in one line beside the meter, in the widened capsule, without
    // taking the focus; a long text gives way at its start, so its end is what shows.
    void interimWordsBesideTheMeter()
    {
        Rig rig;
        rig.state.setPhase(AppState::Phase::recording);
        rig.panel.applyWidth(AppState::Phase::recording);
        rig.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.panel));
        const QString words = u"Привет, это живая диктовка, и слова видны прямо во время речи"_s;
        rig.state.setInterimText(words);
        rig.state.setLevel(0.6);
        rig.panel.applyWidth(AppState::Phase::recording, true);
        QTest::qWait(250);
        QCOMPARE(rig.panel.width(), HUDPanel::liveWidth);
        QCOMPARE(rig.view()->shownInterimText(), words);
        const QRect line = rig.view()->interimLine()->geometry();
        QVERIFY(line.left() >= rig.view()->levelMeter()->geometry().right());
        QVERIFY(line.right() < rig.view()->sendButton()->geometry().left());
        QVERIFY(line.width() > 120);
        QVERIFY(!rig.panel.isActiveWindow());
        // Back to the plain recording look once the words are gone.
        rig.state.setInterimText(QString());
        QVERIFY(rig.panel.applyWidth(AppState::Phase::recording, false));
        QCOMPARE(rig.panel.width(), HUDPanel::recordingWidth);
    }
};

QTEST_MAIN(HUDTest)
#include "tst_hud.moc"
