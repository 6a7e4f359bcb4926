#include "language/AppLanguage.h"
#include "language/AppLanguagePicker.h"
#include "app/AppShell.h"
#include "app/parts/ModuleParts.h"
#include "app/shell/AppWindows.h"
#include "app/Autostart.h"
#include "ControllerFakes.h"
#include "ui/hud/HUDPanel.h"
#include "ui/hud/HUDView.h"
#include "ui/hud/RoundButton.h"
#include "ui/main/HistoryList.h"
#include "ui/main/HistoryView.h"
#include "app/MenuText.h"
#include "onboarding/OnboardingSteps.h"
#include "app/services/DesktopPorts.h"
#include "TestSupport.h"
#include "TextClients.h"
#include "app/services/WindowServices.h"
#include "XTestInput.h"

#include <QActionGroup>
#include <QClipboard>
#include <QMessageBox>
#include <QApplication>
#include <QComboBox>
#include <QAbstractItemView>
#include <QPlainTextEdit>
#include <QLabel>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// A file manager on the session bus, as Nautilus or Dolphin offer it.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { shown += uris; }
};

// Catches what would go to the desktop's default application.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

// The microphones' submenu as it opens: it lists them then.
static QMenu *opened(QAction *item)
{
    QMenu *menu = item->menu();
    Q_EMIT menu->aboutToShow();
    return menu;
}

// The tray menu and the launch sequence, with the controller's devices faked.
class ShellTest : public QObject
{
    Q_OBJECT

    struct Rig
    {
        std::unique_ptr<AppState> ownState;
        AppState &state = *ownState;
        FakeRecorder *recorder = new FakeRecorder;
        FakeHotkey *hotkey = new FakeHotkey;
        FakeTranscriber *transcriber = new FakeTranscriber;
        FakeInserter *inserter = new FakeInserter;
        bool trusted = true;
        const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
        std::unique_ptr<AppDelegate> controller;
        // The windows and the update check, linked in rather than loaded.
        OnDemand parts{std::make_unique<ModuleParts>()};
        std::unique_ptr<AppShell> shell;

        static std::unique_ptr<AppState> stateWith(const std::function<void(Config &)> &change)
        {
            Config c;
            c.apiKey = u"k"_s;
            c.onboardingDone = true;
            if (change)
                change(c);
            return std::make_unique<AppState>(c, History());
        }

        // The real desktop's typing and windows instead of the fakes; no permission to type;
        // not launched yet; the settings and the history as the files have them.
        static constexpr int Real = 1, Untrusted = 2, Later = 4, FromFiles = 8;

        explicit Rig(const std::function<void(Config &)> &change = {}, int flags = 0)
            : ownState(flags & FromFiles ? std::make_unique<AppState>() : stateWith(change)),
              trusted(!(flags & Untrusted))
        {
            AppDelegate::Services s;
            s.recorder.reset(recorder);
            s.hotkey.reset(hotkey);
            s.transcriber.reset(transcriber);
            s.inserter.reset(inserter);
            if (flags & Real) {
                inserter = nullptr;
                s.inserter = std::make_unique<DesktopInserter>(*platform);
                s.focus = std::make_unique<DesktopFocus>(*platform);
            }
            s.play = [](const QString &) {};
            controller = std::make_unique<AppDelegate>(&state, std::move(s));
            shell = std::make_unique<AppShell>(
                controller.get(), *platform,
                [this] {
                    return AppShell::Trust{trusted, trusted ? QString() : u"no XTEST"_s};
                },
                parts);
            if (!(flags & Later))
                shell->applicationDidFinishLaunching();
        }

        AppWindows *windows() const { return static_cast<AppWindows *>(shell->windowsIfMade()); }
        MainView *mainWindow() const { return windows() ? windows()->mainWindow() : nullptr; }
        OnboardingView *onboardingWindow() const
        {
            return windows() ? windows()->onboardingWindow() : nullptr;
        }

        QStringList titles() const
        {
            QStringList list;
            for (const QAction *a : shell->menu()->actions())
                list.append(a->isSeparator() ? u"--"_s : a->text());
            return list;
        }
        QAction *action(const QString &title) const
        {
            for (QAction *a : shell->menu()->actions()) {
                if (a->text() == title)
                    return a;
            }
            return nullptr;
        }
    };

    QTemporaryDir m_configHome;

    // A recording in the temporary folder, as the recorder leaves one.
    QString recording() const
    {
        TestSupport::writeFile(m_configHome.filePath(u"vesk-a.wav"_s), QByteArray(100, 'a'));
        return m_configHome.filePath(u"vesk-a.wav"_s);
    }

    // Launched with one transcript in the history, its main window open there.
    static MainView *historyWithOne(Rig &rig, const QString &text)
    {
        rig.state.setHistory(historyOf({text}));
        rig.shell->openMainWindow(WindowsPort::Tab::history);
        return rig.mainWindow();
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        qputenv("XDG_CONFIG_HOME", m_configHome.path().toUtf8());
        // A Wayland login that the user forced to X11: everything takes it for X11.
        qputenv("XDG_SESSION_TYPE", "wayland");
        qputenv("VESK_SESSION", "x11");
    }

    void launchAndTheMenu()
    {
        VESK_REQUIRE_DISPLAY();
        Rig rig([](Config &c) { c.hotkey = HotkeyKind::fn; });
        const QStringList log = logMessages();
        QVERIFY(log.value(0).startsWith(u"launched, bundle="_s));
        QCOMPARE(log.mid(1),
                 (QStringList{"microphone permission granted=true", "accessibility granted=true"}));

        QCOMPARE(rig.titles(),
                 (QStringList{"Hold Right Ctrl to talk", "--", "Microphone: System default",
                              "Vesk Voice window...", "Setup guide...", "Hide floating button",
                              "--", MenuText::versionLabel(), "Check for updates...", "Open log",
                              "Quit Vesk Voice"}));
        QVERIFY(!rig.action("Hold Right Ctrl to talk")->isEnabled());

        // The hotkey callbacks reach the controller.
        rig.hotkey->onStart();
        QCOMPARE(rig.state.phase(), AppState::Phase::recording);
        QCOMPARE(rig.titles().first(), u"Recording... (Esc to cancel)"_s);
        rig.hotkey->onCancel();
        QCOMPARE(rig.state.phase(), AppState::Phase::idle);

        Config c = rig.state.config();
        c.hotkey = HotkeyKind::rightCommand;
        c.holdThresholdMs = 450;
        // Edited but not saved: the key that works is named everywhere, the tray and the floating
        // button alike.
        rig.state.setConfig(c);
        QCOMPARE(rig.titles().first(), u"Hold Right Ctrl to talk"_s);
        QCOMPARE(rig.shell->hud()->view()->mainButton()->toolTip(),
                 u"Click to record, or hold Right Ctrl"_s);
        rig.shell->save(c);
        QCOMPARE(rig.titles().first(), u"Hold Right Super to talk"_s);
        QCOMPARE(rig.shell->hud()->view()->mainButton()->toolTip(),
                 u"Click to record, or hold Right Super"_s);
        QCOMPARE(rig.hotkey->kind, HotkeyKind::rightCommand);
        QCOMPARE(rig.hotkey->threshold, 0.45);
    }

    void messagesPreviewsAndActions()
    {
        Rig rig;
        const QString longMessage =
            u"Gemini returned 503: The model is overloaded right now. Please try "
            "again later, or choose another model in Settings."_s;
        rig.state.setMessage(longMessage);
        rig.controller->setPhase(AppState::Phase::failed);
        const QStringList titles = rig.titles();
        QCOMPARE(titles[0], u"Something went wrong"_s);
        QCOMPARE(titles.mid(1, 2), MenuText::wrapped(longMessage, 60));
        QCOMPARE(titles[3], u"--"_s);

        // The newest transcript, cut as tst_menutext has it.
        rig.state.setHistory(historyOf({QString(48, u'x'), QString(49, u'y')}));
        rig.shell->refreshStatusItem();
        QVERIFY(rig.action(u"Copy last: "_s + QString(48, u'y') + u"..."_s));
        QVERIFY(rig.action("Insert last again"));

        // A request under way can be cancelled, then retried.
        rig.controller->transcribe(recording(), 2, u"mac"_s);
        QVERIFY(!rig.action("Retry last recording"));
        rig.action("Cancel transcription")->trigger();
        QCOMPARE(rig.transcriber->cancels, 1);
        QVERIFY(!rig.action("Cancel transcription"));
        rig.action("Retry last recording")->trigger();
        QCOMPARE(rig.transcriber->requests.size(), 2);
        rig.transcriber->succeed(u"done"_s);
        QVERIFY(!rig.action("Retry last recording"));
    }

    // The tray as a user meets it, with the pointer and the keys: a left click opens the menu,
    // which always shows what is true now, and its key equivalents work while it is open.
    void trayMenuThroughTheMouse()
    {
        VESK_REQUIRE_DISPLAY();
        qunsetenv("GEMINI_API_KEY");
        Rig rig([](Config &c) { c.apiKey.clear(); }, Rig::Later);
        rig.state.setHistory(historyOf({u"dictated earlier"_s}));
        rig.shell->applicationDidFinishLaunching();
        // Docked in the tray, at the top right.
        QTRY_VERIFY_WITH_TIMEOUT(rig.shell->tray()->geometry().x() > 0, 10000);
        QMenu *menu = rig.shell->menu();
        const auto clickTray = [&] {
            XTestInput::clickAt(rig.shell->tray()->geometry().center());
            QTRY_VERIFY(menu->isVisible());
        };
        const auto closeMenu = [&] {
            XTestInput::tap("Escape");
            QTRY_VERIFY(!menu->isVisible());
        };
        clickTray();
        QVERIFY(rig.titles().contains(u"Add your Gemini API key in Settings."_s));
        QVERIFY(rig.titles().contains(u"Copy last: dictated earlier"_s));
        closeMenu();

        // Without a key the settings opened at launch (with one nothing opens: tst_launch).
        MainView *window = rig.mainWindow();
        QVERIFY(window && !rig.onboardingWindow());
        QCOMPARE(window->tab(), MainView::Tab::settings);
        QVERIFY(QTest::qWaitForWindowExposed(window));

        // "Delete all" in History, clicked; the menu then offers nothing of the deleted text.
        window->setTab(MainView::Tab::history);
        XTestInput::clickOn(window->history()->clearButton());
        QTRY_VERIFY(window->history()->confirmation() &&
                    window->history()->confirmation()->isVisible());
        auto *deleteAll =
            window->history()->confirmation()->findChild<QPushButton *>(u"deleteAll"_s);
        QVERIFY(QTest::qWaitForWindowExposed(deleteAll->window()));
        XTestInput::clickOn(deleteAll);
        QTRY_VERIFY(rig.state.history().entries.isEmpty());
        clickTray();
        for (const QString &title : rig.titles())
            QVERIFY2(!title.contains(u"dictated earlier"_s), qPrintable(title));

        // Ctrl+O, shown beside the window item, brings the closed window back.
        window->close();
        XTestInput::key(XTestInput::keycode("Control_L"), true);
        XTestInput::tap("o");
        XTestInput::key(XTestInput::keycode("Control_L"), false);
        QTRY_VERIFY(window->isVisible());
        QTRY_VERIFY(!menu->isVisible());
    }

    // The microphones' submenu and the floating button, with its buttons and its menu item.
    void microphoneAndFloatingButton()
    {
        Rig rig([](Config &c) {
            c.inputDeviceID = u"gone"_s;
            c.inputDeviceName = u"USB Yeti"_s;
            c.hudX = 300;
            c.hudY = 200;
        });
        QAction *away =
            rig.action("Microphone: USB Yeti — not connected, the system default is used");
        QVERIFY(away);
        opened(away)->actions()[1]->trigger();
        QCOMPARE(Config::load().inputDeviceName, u"Mic a"_s);
        QMenu *mics = opened(rig.action("Microphone: Mic a"));
        QCOMPARE(mics->actions().size(), 2);
        QVERIFY(!mics->actions()[0]->isChecked());
        QVERIFY(mics->actions()[1]->isChecked());
        mics->actions()[0]->trigger(); // System default
        QCOMPARE(Config::load().inputDeviceID, QString());
        QVERIFY(opened(rig.action("Microphone: System default"))->actions()[0]->isChecked());

        // Every rebuild of the menu makes a new submenu; the old ones go with their items.
        for (int i = 0; i < 5; ++i)
            opened(rig.action("Microphone: System default"))->actions()[0]->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(rig.shell->menu()->findChildren<QMenu *>().size(), 1);
        QCOMPARE(rig.shell->menu()->findChildren<QActionGroup *>().size(), 1);

        HUDPanel *hud = rig.shell->hud();
        QVERIFY(hud && hud->isVisible());
        // Its buttons reach the controller; a recording widens it about its centre (the geometry
        // is tst_hud's), and the new place is kept, in the file too once the panel rests.
        hud->view()->mainButton()->click();
        QCOMPARE(rig.state.phase(), AppState::Phase::recording);
        QCOMPARE(rig.state.config().hudX, 235.0);
        QTRY_COMPARE(Config::load().hudX, 235.0);
        hud->view()->cancelButton()->click();
        QCOMPARE(rig.state.phase(), AppState::Phase::idle);
        QTRY_COMPARE(Config::load().hudX, 300.0);

        // The item hides it, in the file too; the controller's end leaves the buttons harmless.
        rig.action("Hide floating button")->trigger();
        QVERIFY(!rig.state.config().hudVisible);
        QVERIFY(!Config::load().hudVisible);
        QVERIFY(!hud->isVisible());
        rig.controller.reset();
        hud->view()->mainButton()->click();
    }

    void waitingForAccessibility()
    {
        Rig rig({}, Rig::Untrusted);
        QVERIFY(!rig.hotkey->installed);
        QVERIFY(rig.shell->isWaitingForPermission());
        QCOMPARE(rig.titles().mid(0, 2),
                 (QStringList{"Accessibility permission needed", "no XTEST"}));

        rig.trusted = true;
        QTRY_VERIFY_WITH_TIMEOUT(rig.hotkey->installed, 5000);
        QVERIFY(rig.state.accessibilityGranted());
        QVERIFY(rig.state.message().isEmpty());
        QVERIFY(!rig.shell->isWaitingForPermission());
        QVERIFY(logMessages().contains(u"accessibility granted while waiting"_s));
        QCOMPARE(rig.titles().first(), u"Hold Right Ctrl to talk"_s);
    }

    // Settings that could not be read are said in the log and in the menu until they are saved.
    void unreadableSettingsAreSaid()
    {
        const QByteArray saved = TestSupport::readFile(Config::fileURL());
        TestSupport::writeFile(Config::fileURL(), R"({"apiKey":"k",})");
        Rig rig({}, Rig::FromFiles | Rig::Later);
        QFile::remove(Config::fileURL());
        QCOMPARE(rig.state.readProblems().size(), 1);
        const QString problem = rig.state.readProblems().first();
        QVERIFY(problem.contains(Config::fileURL()));
        rig.shell->applicationDidFinishLaunching();
        QVERIFY(logMessages().contains(problem));
        QVERIFY(rig.titles().contains(MenuText::wrapped(problem, 60).first()));

        Config c = rig.state.config();
        c.apiKey = u"new"_s;
        rig.shell->save(c);
        QVERIFY(rig.state.readProblems().isEmpty());
        QVERIFY(!rig.titles().contains(MenuText::wrapped(problem, 60).first()));
        // What other cases left in the settings file stays for them.
        if (saved.isEmpty())
            QFile::remove(Config::fileURL());
        else
            TestSupport::writeFile(Config::fileURL(), saved);
    }

    void mainWindowRules()
    {
        VESK_REQUIRE_DISPLAY();
        Rig rig;
        rig.action("Vesk Voice window...")->trigger();
        MainView *window = rig.mainWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->size(), QSize(820, 560));
        QCOMPARE(window->tab(), MainView::Tab::history);
        QListWidget *sidebar = window->sidebar();
        QVERIFY2(sidebar->width() >= MainView::sidebarMin &&
                     sidebar->width() <= MainView::sidebarMax,
                 qPrintable(QString::number(sidebar->width())));

        // An existing window keeps its tab whatever is asked for.
        rig.shell->openMainWindow(WindowsPort::Tab::settings);
        QCOMPARE(rig.mainWindow(), window);
        QCOMPARE(window->tab(), MainView::Tab::history);

        // One tab is always chosen in the sidebar.
        QCOMPARE(sidebar->count(), 2);
        QCOMPARE(sidebar->item(0)->text(), u"History"_s);
        QCOMPARE(sidebar->item(1)->text(), u"Settings"_s);
        sidebar->item(1)->setSelected(true);
        QCOMPARE(window->tab(), MainView::Tab::settings);
        sidebar->clearSelection();
        QCOMPARE(window->tab(), MainView::Tab::settings);
        QCOMPARE(sidebar->selectedItems().size(), 1);
        QCOMPARE(sidebar->selectedItems().first(), sidebar->item(1));

        // Closing hides it; the next request shows the same window on the tab chosen last.
        window->history()->setQuery(u"kept"_s);
        window->close();
        rig.action("Vesk Voice window...")->trigger();
        QCOMPARE(window->tab(), MainView::Tab::settings);
        QCOMPARE(window->history()->query(), u"kept"_s);
    }

    // The setting writes the session's autostart entry, pointing at this program, and takes it
    // away again; an entry made by hand survives a launch with the setting off.
    void startAtLogin()
    {
        const QString path = Autostart::entryPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        TestSupport::writeFile(path, "[Desktop Entry]\nExec=vesk-voice\n");

        Rig rig;
        QVERIFY(QFile::exists(path));
        Config c = rig.state.config();
        c.launchAtLogin = true;
        rig.shell->save(c);
        const QByteArray text = TestSupport::readFile(path);
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(text.contains("\nType=Application\n"));
        QVERIFY2(
            text.contains("\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\"\n"),
            text.constData());

        c.launchAtLogin = false;
        rig.shell->save(c);
        QVERIFY(!QFile::exists(path));
        QVERIFY(logMessages().contains(u"start at login: removed "_s + path));
    }

    // Exec lines as the desktop entry format reads them back: quoted, the reserved characters
    // escaped, then every backslash doubled once more.
    void autostartExecLine_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("blank") << u"/opt/Vesk Voice/vesk-voice"_s
                               << QByteArray(R"(Exec="/opt/Vesk Voice/vesk-voice")");
        QTest::newRow("reserved") << QStringLiteral(R"(/x/a"b`c$d\e%f)")
                                  << QByteArray(R"(Exec="/x/a\\"b\\`c\\$d\\\\e%%f")");
    }

    void autostartExecLine()
    {
        QFETCH(QString, executable);
        QFETCH(QByteArray, line);
        const QList<QByteArray> lines = Autostart::entry(executable).split('\n');
        QVERIFY2(lines.contains(line), Autostart::entry(executable).constData());
    }

    // "Open config file" shows the file selected in the file manager, or opens its folder when
    // no file manager answers on the bus.
    void revealTheConfigFile()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
            if (TestSupport::strict())
                QFAIL("no session bus");
            QSKIP("no session bus");
        }
        const QString path = Config::fileURL();
        FakeRecorder recorder;
        const SettingsServices services = WindowServices::settings(recorder);

        QDBusConnection fileManagerBus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fm"_s);
        FakeFileManager fileManager;
        QVERIFY(fileManagerBus.registerObject(u"/org/freedesktop/FileManager1"_s, &fileManager,
                                              QDBusConnection::ExportAllSlots));
        QVERIFY(fileManagerBus.registerService(u"org.freedesktop.FileManager1"_s));
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(u"file"_s, &catcher, "open");
        services.revealFile(path);
        QTRY_COMPARE(fileManager.shown, QStringList{QUrl::fromLocalFile(path).toString()});
        QVERIFY(catcher.opened.isEmpty());

        QVERIFY(fileManagerBus.unregisterService(u"org.freedesktop.FileManager1"_s));
        services.revealFile(path);
        QTRY_COMPARE(catcher.opened,
                     QList<QUrl>{QUrl::fromLocalFile(QFileInfo(path).absolutePath())});
        QDesktopServices::unsetUrlHandler(u"file"_s);
        QDBusConnection::disconnectFromBus(u"fm"_s);
    }

    void windowSavesAndInsertsThroughTheController()
    {
        VESK_REQUIRE_DISPLAY();
        Rig rig([](Config &c) {
            c.insertMethod = u"type"_s;
            c.newlineMode = u"space"_s;
        });
        MainView *window = historyWithOne(rig, u"again, please"_s);
        QTRY_VERIFY(window->isActiveWindow());

        // A desktop that names no window to go back to: the text is copied, and the window
        // says so, rather than typing it into itself.
        QGuiApplication::clipboard()->setText(u"the user's own"_s);
        HistoryList *list = window->history()->list();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->buttonRect(0, HistoryList::Insert).center());
        QVERIFY(rig.inserter->calls.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), u"again, please"_s);
        QVERIFY(window->history()->notice()->isVisible());
        QVERIFY(window->isVisible());

        window->setTab(MainView::Tab::settings);
        auto *key = window->findChild<QLineEdit *>(u"apiKey"_s);
        key->setText(QString());
        QTest::keyClicks(key, u"saved-key"_s);
        const int starts = rig.hotkey->starts;
        window->findChild<QPushButton *>(u"save"_s)->click();
        QCOMPARE(Config::load().apiKey, u"saved-key"_s);
        QCOMPARE(rig.hotkey->starts, starts + 1); // applied
    }

    // "Insert into the active app", clicked with the pointer in the History window: the text
    // goes to the app the user was in (a Tk window here), which comes back in front; a second
    // one right after continues the first with a space.
    void insertFromHistoryGoesBackToTheApp()
    {
        VESK_REQUIRE_DISPLAY();
        TextClientProcess client(TextClientProcess::Kind::tk);
        QVERIFY(client.start());
        Rig rig({}, Rig::Real);
        MainView *window = historyWithOne(rig, u"Again, please."_s);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        HistoryList *list = window->history()->list();
        for (const QString &expected : {u"Again, please."_s, u"Again, please. Again, please."_s}) {
            QTRY_VERIFY(window->isActiveWindow());
            const QPoint at =
                list->viewport()->mapToGlobal(list->buttonRect(0, HistoryList::Insert).center());
            // Onto the row first, which shows its buttons.
            XTestInput::moveTo(at.x() - 200, at.y());
            QTest::qWait(100);
            XTestInput::moveTo(at.x(), at.y());
            QTest::qWait(100);
            XTestInput::click(1);
            QTRY_COMPARE_WITH_TIMEOUT(client.received(), expected, 10000);
            QCOMPARE(XTestInput::focusedClass(), client.instance());
            QVERIFY(window->isVisible());
            QVERIFY(window->history()->notice()->isHidden());
            // Back into the History window for the next one.
            window->activateWindow();
        }
    }

    // The guide's last page: a hold key picked there with the pointer and the keys leaves the
    // focus in the sample box, so the next dictation lands there, not in the picker.
    void tryItKeepsTheDictation()
    {
        VESK_REQUIRE_DISPLAY();
        Rig rig(
            [](Config &c) {
                c.onboardingDone = false;
                c.hotkey = HotkeyKind::fn;
                c.insertMethod = u"type"_s;
            },
            Rig::Real);
        OnboardingView *guide = rig.onboardingWindow();
        QVERIFY(QTest::qWaitForWindowExposed(guide));
        for (int i = 0; i < 4; ++i)
            guide->move(+1);
        auto *page = qobject_cast<TryItStep *>(guide->page());
        QVERIFY(page);
        QTRY_VERIFY(guide->isActiveWindow() && page->sampleBox()->hasFocus());

        QComboBox *picker = page->hotkeyPicker();
        XTestInput::clickOn(picker);
        QTRY_VERIFY(picker->view()->isVisible());
        for (const char *key : {"Down", "Return"})
            XTestInput::tap(key);
        QTRY_COMPARE(rig.state.hotkeyInEffect(), HotkeyKind::rightCommand);
        QTRY_VERIFY(page->sampleBox()->hasFocus());

        // A dictation with the new key, typed by the desktop's own typing.
        rig.hotkey->onStart();
        rig.hotkey->onStop();
        rig.recorder->deliver(Recording{recording(), 2});
        QTRY_COMPARE(rig.transcriber->requests.size(), 1);
        rig.transcriber->succeed(u"Said in the guide."_s);
        QTRY_COMPARE_WITH_TIMEOUT(page->sampleBox()->toPlainText(), u"Said in the guide."_s, 10000);
    }

    // Another interface language picked with unsaved edits in the form: the user is asked, the
    // edits are saved (or the switch is called off), and after the restart the settings window
    // is back.
    void languageSwitchLosesNothing_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("save") << "Return"_ba;
        QTest::newRow("keep the language") << "Escape"_ba;
    }

    void languageSwitchLosesNothing()
    {
        VESK_REQUIRE_DISPLAY();
        QFETCH(QByteArray, answer);
        const bool saving = answer == "Return";
        QSettings(u"Vesk"_s, u"Vesk Voice"_s).clear();
        int restarts = 0;
        AppLanguage::setRestarter([&] { ++restarts; });
        const auto restore = qScopeGuard([] {
            AppLanguage::setRestarter(nullptr);
            QSettings(u"Vesk"_s, u"Vesk Voice"_s).clear();
        });
        {
            Rig rig;
            rig.state.config().save();
            rig.shell->openMainWindow(WindowsPort::Tab::settings);
            MainView *window = rig.mainWindow();
            QTRY_VERIFY(window->isActiveWindow());
            auto *key = window->findChild<QLineEdit *>(u"apiKey"_s);
            XTestInput::clickOn(key);
            QTRY_VERIFY(key->hasFocus());
            XTestInput::tap("End");
            XTestInput::tap("x");
            QTRY_COMPARE(rig.state.config().apiKey, u"kx"_s);

            auto *language = window->findChild<AppLanguagePicker *>(u"interfaceLanguage"_s);
            // The question comes in a dialog of its own, answered once it is up.
            QTimer answerer;
            connect(&answerer, &QTimer::timeout, &answerer, [&] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                    box && box->isActiveWindow()) {
                    answerer.stop();
                    XTestInput::tap(answer.constData());
                }
            });
            answerer.start(50);
            XTestInput::clickOn(language->comboBox());
            QTRY_VERIFY(language->comboBox()->view()->isVisible());
            // System, Oʻzbekcha, English, Русский.
            for (const char *k : {"Down", "Down", "Down", "Return"})
                XTestInput::tap(k);
            QTRY_VERIFY(!answerer.isActive());
            QTRY_COMPARE(restarts, saving ? 1 : 0);
            QCOMPARE(Config::load().apiKey, saving ? u"kx"_s : u"k"_s);
            QCOMPARE(AppLanguage::chosen(),
                     saving ? std::optional<QString>(u"ru"_s) : std::nullopt);
            if (!saving)
                QTRY_COMPARE(language->selection(), QString());
        }
        // The next start (the restart's) shows the settings again, once.
        Rig next;
        QCOMPARE(next.mainWindow() != nullptr, saving);
        if (saving)
            QCOMPARE(next.mainWindow()->tab(), MainView::Tab::settings);
        QVERIFY(AppLanguage::takeReopenWindow().isEmpty());
    }

    void firstLaunchOpensTheGuide()
    {
        qunsetenv("GEMINI_API_KEY");
        Rig rig(
            [](Config &c) {
                c.onboardingDone = false;
                c.apiKey.clear();
            },
            Rig::Untrusted);
        QVERIFY(rig.onboardingWindow());
        QCOMPARE(rig.onboardingWindow()->windowTitle(), u"Vesk Voice"_s);
        QVERIFY(!rig.mainWindow());
        // No microphone request, no key message; the wait for permission has started.
        const QStringList log = logMessages();
        QVERIFY(!log.join(u'\n').contains(u"microphone permission"_s));
        QVERIFY(log.contains(u"accessibility granted=false"_s));
        QVERIFY(rig.state.message() != u"Add your Gemini API key in Settings."_s);
        QVERIFY(rig.shell->isWaitingForPermission());
        // The X11 keyboard page, which waits for the permission.
        QVERIFY(!rig.onboardingWindow()->services().waylandSession());

        // The menu item brings the same guide forward.
        OnboardingView *guide = rig.onboardingWindow();
        rig.action("Setup guide...")->trigger();
        QCOMPARE(rig.onboardingWindow(), guide);

        // Finishing forgets it and clears the message; the next request builds a new one.
        rig.state.setMessage(u"something"_s);
        guide->finish();
        QVERIFY(!rig.onboardingWindow());
        QVERIFY(rig.state.message().isEmpty());
        QVERIFY(Config::load().onboardingDone);
        rig.action("Setup guide...")->trigger();
        QVERIFY(rig.onboardingWindow());
        QVERIFY(rig.onboardingWindow() != guide);
    }

    // A full disk (a small memory disk over the data folder, filled by another program): the
    // change stays in the app, the file stays as it was, the menu says why until a save works.
    void unsavedSettingsAreSaid()
    {
        const QString data = Config::directory();
        QFile::remove(Config::fileURL());
        const TestSupport::SmallDisk disk(data, u"64k"_s);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.error()));
        Rig rig;
        disk.fill();
        const QStringList told = MenuText::wrapped(
            u"The settings could not be saved (No space left on device). The next "
            "change tries again."_s,
            60);
        rig.action("Hide floating button")->trigger();
        QVERIFY(!rig.state.config().hudVisible);
        QVERIFY(!QFileInfo::exists(Config::fileURL()));
        QCOMPARE(QDir(data).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"fill"_s, u"vesk.log"_s}));
        QCOMPARE(rig.titles().mid(1, told.size()), told);

        QFile::remove(data + u"/fill"_s);
        rig.action("Show floating button")->trigger();
        QVERIFY(Config::load().hudVisible);
        QVERIFY(!rig.titles().contains(told.first()));
        QVERIFY(logMessages().contains(u"saved %1 again"_s.arg(Config::fileURL())));
    }

    // The menu's Quit ends the event loop, which the app's termination follows (what it keeps is
    // the real app's test). Last, as it ends the application's event loop.
    void quitItemEndsTheApp()
    {
        Rig rig;
        QTimer::singleShot(0, rig.action("Quit Vesk Voice"), &QAction::trigger);
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(ShellTest)
#include "tst_shell.moc"
