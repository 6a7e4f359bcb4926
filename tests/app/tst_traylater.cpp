#include "app/AppShell.h"
#include "app/parts/ModuleParts.h"
#include "ControllerFakes.h"
#include "ui/hud/HUDPanel.h"
#include "records/Log.h"
#include "TestSupport.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QtTest>

// A session whose tray starts after the program, as autostart often has it: on an X server of
// its own (xvfb-run's) without a tray, with trayer started only once the program runs.
class TrayLaterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void theIconDocksWhenATrayAppears()
    {
        Config c;
        c.apiKey = u"k"_s;
        c.onboardingDone = true;
        c.hudVisible = false;
        AppState state{c, History()};
        AppDelegate::Services s;
        s.recorder = std::make_unique<FakeRecorder>();
        s.hotkey = std::make_unique<FakeHotkey>();
        s.inserter = std::make_unique<FakeInserter>();
        s.transcriber = std::make_unique<FakeTranscriber>();
        s.play = [](const QString &) {};
        AppDelegate controller(&state, std::move(s));
        const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
        OnDemand parts{std::make_unique<ModuleParts>()};
        const auto trusted = [] { return AppShell::Trust{true, QString()}; };
        AppShell shell(&controller, *platform, trusted, parts);

        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        shell.applicationDidFinishLaunching();
        QVERIFY(shell.tray());
        // No tray: the floating button is the way in, though the setting hides it.
        QVERIFY(shell.hud()->isVisible());
        QVERIFY(logText().contains(u"no system tray yet"_s));

        QProcess trayer;
        trayer.start(u"trayer"_s,
                     {u"--edge"_s, u"top"_s, u"--align"_s, u"right"_s, u"--widthtype"_s,
                      u"request"_s, u"--height"_s, u"32"_s, u"--transparent"_s, u"false"_s});
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        // Docked: the icon has a place on the screen, inside the tray.
        QTRY_VERIFY_WITH_TIMEOUT(!shell.tray()->geometry().isEmpty(), 10000);
        const QRect icon = shell.tray()->geometry();
        QVERIFY2(icon.top() < 32, qPrintable(u"%1,%2"_s.arg(icon.x()).arg(icon.y())));
        // With a tray the setting rules again.
        QTRY_VERIFY_WITH_TIMEOUT(!shell.hud()->isVisible(), 5000);
        TestSupport::stop(trayer);
    }
};

QTEST_MAIN(TrayLaterTest)
#include "tst_traylater.moc"
