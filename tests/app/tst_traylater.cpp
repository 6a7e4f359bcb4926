#include "app/AppShell.h"
#include "app/parts/ModuleParts.h"
#include "ControllerFakes.h"
#include "ui/hud/HUDPanel.h"
#include "records/Log.h"
#include "TestSupport.h"

#include <QApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QtTest>

// A session whose tray starts after the program, as autostart often has it: on an X server of
// its own, started here without a tray, with trayer started only once the program runs.
class TrayLaterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void theIconDocksWhenATrayAppears()
    {
        AppState state{Config(), History()};
        Config c;
        c.apiKey = u"k"_s;
        c.onboardingDone = true;
        c.hudVisible = false;
        state.setConfig(c);
        AppDelegate::Services s;
        s.recorder = std::make_unique<FakeRecorder>();
        s.hotkey = std::make_unique<FakeHotkey>();
        s.inserter = std::make_unique<FakeInserter>();
        s.transcriber = std::make_unique<FakeTranscriber>();
        s.play = [](const QString &) {};
        AppDelegate controller(&state, std::move(s));
        const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
        OnDemand parts{std::make_unique<ModuleParts>()};
        AppShell shell(
            &controller, *platform,
            [] {
                return AppShell::Trust{true, QString()};
            },
            parts);

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
        QVERIFY(trayer.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        // Docked: the icon has a place on the screen, inside the tray.
        QTRY_VERIFY_WITH_TIMEOUT(!shell.tray()->geometry().isEmpty(), 10000);
        const QRect icon = shell.tray()->geometry();
        QVERIFY2(icon.top() < 32, qPrintable(u"%1,%2"_s.arg(icon.x()).arg(icon.y())));
        // With a tray the setting rules again.
        QTRY_VERIFY_WITH_TIMEOUT(!shell.hud()->isVisible(), 5000);

        QTest::qWait(300);
        const QRect top(QGuiApplication::primaryScreen()->geometry().width() - 200, 0, 200, 40);
        QVERIFY(QGuiApplication::primaryScreen()
                    ->grabWindow(0, top.x(), top.y(), top.width(), top.height())
                    .save(TestSupport::binaryDir() + u"/tests/app/tray-docked.png"_s));
        trayer.terminate();
        trayer.waitForFinished();
    }
};

// Starts an X server of this test's own, with no tray on it, before the application connects.
int main(int argc, char **argv)
{
    int number = 140;
    while (QFile::exists(u"/tmp/.X%1-lock"_s.arg(number)))
        ++number;
    const QString display = u":%1"_s.arg(number);
    QProcess xvfb;
    xvfb.start(u"Xvfb"_s,
               {display, u"-screen"_s, u"0"_s, u"1024x600x24"_s, u"-nolisten"_s, u"tcp"_s});
    if (!xvfb.waitForStarted()) {
        qWarning("Xvfb did not start");
        return 1;
    }
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        QProcess probe;
        probe.setStandardOutputFile(QProcess::nullDevice());
        probe.setStandardErrorFile(QProcess::nullDevice());
        probe.start(u"xdpyinfo"_s, {u"-display"_s, display});
        up = probe.waitForFinished() && probe.exitCode() == 0;
        if (!up)
            QThread::msleep(100);
    }
    if (!up) {
        qWarning("Xvfb did not answer");
        return 1;
    }
    qputenv("DISPLAY", display.toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication app(argc, argv);
        app.setQuitOnLastWindowClosed(false);
        TrayLaterTest test;
        result = QTest::qExec(&test, argc, argv);
    }
    xvfb.terminate();
    xvfb.waitForFinished();
    return result;
}

#include "tst_traylater.moc"
