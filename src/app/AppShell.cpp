#include "AppShell.h"

#include "Autostart.h"
#include "HUDPanel.h"

#include "HotkeyKindInfo.h"
#include "Log.h"
#include "MenuText.h"
#include "OnboardingView.h"
#include "Symbols.h"
#include "WindowServices.h"

#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QPalette>
#include <QScreen>
#include <QUrl>
#include <functional>

namespace {

// An action that reaches the controller while it lives and does nothing once it is gone.
template <typename Call> std::function<void()> whileAlive(AppDelegate *controller, Call call)
{
    QPointer<AppDelegate> weak(controller);
    return [weak, call] {
        if (weak)
            std::invoke(call, weak.data());
    };
}

} // namespace

AppShell::AppShell(AppDelegate *controller, PlatformLoader &platform, TrustCheck trustCheck,
                   QObject *parent)
    : QObject(parent), m_controller(controller), m_platform(platform),
      m_trustCheck(std::move(trustCheck)), m_menu(std::make_unique<QMenu>())
{
    m_permissionTimer.setInterval(2000);
    m_trayWatch.setInterval(2000);
    connect(&m_trayWatch, &QTimer::timeout, this, [this] {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        m_trayWatch.stop();
        m_trayAvailable = true;
        state()->setTrayAvailable(true);
        Log::write(QStringLiteral("system tray appeared"));
        applyConfig();
    });
    m_hudSaveTimer.setSingleShot(true);
    m_hudSaveTimer.setInterval(300);
    connect(&m_hudSaveTimer, &QTimer::timeout, this, [this] { state()->saveConfig(); });
    connect(&m_permissionTimer, &QTimer::timeout, this, &AppShell::pollAccessibility);
    connect(m_controller, &AppDelegate::phaseApplied, this, [this] {
        applyHUDWidth();
        refreshStatusItem();
    });
    connect(m_controller, &AppDelegate::actionsChanged, this, &AppShell::refreshStatusItem);
    connect(state(), &AppState::saveProblemsChanged, this, &AppShell::refreshStatusItem);
    connect(&m_platform, &PlatformLoader::holdKeyChanged, this, &AppShell::refreshHoldKeyAdvice);
    connect(&m_updater, &Updater::checked, this, [](const Updater::Result &result) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Vesk Voice"),
                        Updater::describe(result));
        QPushButton *download = nullptr;
        if (result.kind == Updater::Result::Kind::available && result.item->download.isValid())
            download = box.addButton(tr("Download"), QMessageBox::AcceptRole);
        box.addButton(QMessageBox::Close);
        box.exec();
        if (download && box.clickedButton() == static_cast<QAbstractButton *>(download))
            QDesktopServices::openUrl(result.item->download);
    });
}

AppShell::~AppShell()
{
    delete m_onboardingWindow;
    delete m_hud;
}

void AppShell::applicationDidFinishLaunching()
{
    // A tray app: closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    Log::reset();
    Log::write(QStringLiteral("launched, bundle=") + QCoreApplication::applicationFilePath());
    for (const QString &problem : state()->readProblems())
        Log::write(problem);
    if (const int waiting = m_controller->waitingRecordings())
        Log::write(QStringLiteral("%1 recording(s) wait for a retry").arg(waiting));

    // Made even when no tray is there yet (a session's autostart often wins the race against
    // the panel): Qt docks the icon as soon as a tray appears.
    m_tray = std::make_unique<QSystemTrayIcon>();
    m_tray->setToolTip(QStringLiteral("Vesk Voice"));
    m_tray->setContextMenu(m_menu.get());
    refreshStatusItem();
    m_tray->show();
    m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    state()->setTrayAvailable(m_trayAvailable);
    if (!m_trayAvailable) {
        Log::write(QStringLiteral("no system tray yet: the floating button stays on screen until "
                                  "one appears"));
        m_trayWatch.start();
    }
    setUpHUD();
    applyConfig();

    m_controller->hotkey().setCallbacks(
        whileAlive(m_controller, [](AppDelegate *c) { c->startRecording(QStringLiteral("mac")); }),
        whileAlive(m_controller, &AppDelegate::finishRecording),
        whileAlive(m_controller, &AppDelegate::cancelRecording));

    if (!state()->config().onboardingDone) {
        checkAccessibility(false);
        openOnboarding();
        return;
    }

    // Linux has no per-application microphone permission: the answer is always yes, and the
    // layer stays so that a sandbox portal can answer later.
    permissionResult(true);
    checkAccessibility(true);
    if (state()->config().resolvedApiKey().isEmpty()) {
        state()->setMessage(tr("Add your Gemini API key in Settings."));
        openMainWindow(MainView::Tab::settings);
    }
}

void AppShell::permissionResult(bool granted)
{
    Log::write(QStringLiteral("microphone permission granted=%1")
                   .arg(granted ? QStringLiteral("true") : QStringLiteral("false")));
    if (!granted) {
        state()->setMessage(tr("Microphone access denied. Enable it in System Settings > Privacy & "
                               "Security > Microphone."));
        m_controller->setPhase(AppState::Phase::failed);
    }
}

void AppShell::applicationWillTerminate()
{
    if (m_hudSaveTimer.isActive()) {
        m_hudSaveTimer.stop();
        state()->saveConfig();
    }
    // Space may have been freed since a save failed.
    state()->retryFailedSaves();
    m_controller->shutDown();
    m_controller->hotkey().stop();
    if (m_controller->recorder().isRecording())
        m_controller->recorder().stop([](const std::optional<Recording> &) {});
    m_controller->recorder().release();
}

void AppShell::checkAccessibility(bool prompt)
{
    // X11 has no permission dialog to raise: `prompt` has nothing to ask for.
    Q_UNUSED(prompt);
    const Trust trust = m_trustCheck();
    state()->setAccessibilityGranted(trust.trusted);
    Log::write(QStringLiteral("accessibility granted=%1")
                   .arg(trust.trusted ? QStringLiteral("true") : QStringLiteral("false")));
    if (trust.trusted) {
        m_controller->hotkey().start();
        m_permissionTimer.stop();
        refreshStatusItem();
        return;
    }
    // On Wayland the key comes from the desktop (a portal, the keyboard devices or its bindings),
    // whatever the X11 side says.
    if (wayland() && !m_controller->hotkey().isInstalled())
        m_controller->hotkey().start();
    state()->setMessage(trust.reason.isEmpty()
                            ? tr("Waiting for Accessibility permission. Add Vesk Voice in System "
                                 "Settings > Privacy & Security > Accessibility.")
                            : trust.reason);
    refreshStatusItem();
    if (!m_permissionTimer.isActive())
        m_permissionTimer.start();
}

void AppShell::pollAccessibility()
{
    if (!m_trustCheck().trusted)
        return;
    Log::write(QStringLiteral("accessibility granted while waiting"));
    state()->setAccessibilityGranted(true);
    state()->setMessage(QString());
    m_controller->hotkey().start();
    m_permissionTimer.stop();
    refreshStatusItem();
}

void AppShell::applyConfig()
{
    const Config &c = state()->config();
    HotkeyPort &hotkey = m_controller->hotkey();
    hotkey.setKind(c.hotkey);
    hotkey.setHoldThreshold(double(c.holdThresholdMs) / 1000.0);
    hotkey.setReadInputDevices(c.readInputDevices);
    if (hotkey.isInstalled())
        hotkey.start();
    refreshHoldKeyAdvice();
    // Without a tray the floating button is the only way in, whatever the setting says.
    if (m_hud)
        m_hud->setVisible(c.hudVisible || !m_trayAvailable);
    applyHUDWidth();
    applyLaunchAtLogin();
    refreshStatusItem();
}

void AppShell::refreshHoldKeyAdvice()
{
    if (!wayland())
        return;
    state()->setHoldKeyAdvice(m_platform.holdKeyAdvice(state()->config().readInputDevices));
    refreshStatusItem();
}

void AppShell::applyLaunchAtLogin()
{
    const bool wanted = state()->config().launchAtLogin;
    const bool first = !m_launchAtLogin.has_value();
    if (m_launchAtLogin == wanted)
        return;
    m_launchAtLogin = wanted;
    // Off from the start: an entry the user made by hand is theirs to keep.
    if (first && !wanted)
        return;
    const QString path = Autostart::entryPath();
    if (wanted) {
        // Written again at every launch, so that it follows the program when it moves.
        if (Autostart::enable(Autostart::currentExecutable()))
            Log::write(QStringLiteral("start at login: wrote ") + path);
        else
            Log::write(QStringLiteral("start at login: could not write ") + path);
    } else if (Autostart::disable()) {
        Log::write(QStringLiteral("start at login: removed ") + path);
    } else {
        Log::write(QStringLiteral("start at login: could not remove ") + path);
    }
}

void AppShell::save(const Config &config)
{
    state()->setConfig(config);
    state()->saveConfig();
    applyConfig();
}

void AppShell::refreshStatusItem()
{
    const AppState::Phase phase = state()->phase();
    if (m_tray) {
        QColor color = MenuText::tint(phase);
        if (!color.isValid())
            color = QApplication::palette().color(QPalette::WindowText);
        m_tray->setIcon(
            Symbols::icon(MenuText::symbol(phase, state()->accessibilityGranted()), color));
    }
    m_menu->clear();
    buildMenu(m_menu.get());
}

void AppShell::buildMenu(QMenu *menu)
{
    const AppState *s = state();
    const Config &c = s->config();
    const QString key = s->holdKeyAdvice().key;
    menu->addAction(MenuText::statusLine(s->phase(), s->accessibilityGranted(),
                                         key.isEmpty() ? HotkeyKindInfo::label(c.hotkey) : key))
        ->setEnabled(false);
    for (const QString &message :
         QStringList{s->message()} + s->readProblems() + s->saveProblems()) {
        for (const QString &line : MenuText::wrapped(message, 60))
            menu->addAction(line)->setEnabled(false);
    }
    if (m_controller->canCancelTranscription())
        connect(menu->addAction(tr("Cancel transcription")), &QAction::triggered, m_controller,
                &AppDelegate::cancelTranscription);
    if (m_controller->canRetry() && s->phase() != AppState::Phase::working &&
        s->phase() != AppState::Phase::recording)
        connect(menu->addAction(tr("Retry last recording")), &QAction::triggered, m_controller,
                &AppDelegate::retryLastRecording);
    menu->addSeparator();

    addMicrophoneMenu(menu, tr("Microphone: ") + m_controller->recorder().name(c.inputDeviceID));

    QAction *window = menu->addAction(tr("Vesk Voice window..."));
    window->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(window, &QAction::triggered, this, [this] { openMainWindow(MainView::Tab::history); });
    connect(menu->addAction(tr("Setup guide...")), &QAction::triggered, this,
            &AppShell::openOnboarding);

    connect(menu->addAction(c.hudVisible ? tr("Hide floating button") : tr("Show floating button")),
            &QAction::triggered, this, &AppShell::toggleHUD);

    const QString last = s->lastTranscript();
    if (!last.isEmpty()) {
        menu->addSeparator();
        connect(menu->addAction(tr("Copy last: ") + MenuText::copyPreview(last)),
                &QAction::triggered, m_controller, &AppDelegate::copyLast);
        connect(menu->addAction(tr("Insert last again")), &QAction::triggered, m_controller,
                &AppDelegate::insertLast);
    }
    menu->addSeparator();
    menu->addAction(MenuText::versionLabel())->setEnabled(false);
    connect(menu->addAction(tr("Check for updates...")), &QAction::triggered, this,
            &AppShell::checkForUpdates);
    connect(menu->addAction(tr("Open log")), &QAction::triggered, this, &AppShell::openLog);
    QAction *quitAction = menu->addAction(tr("Quit Vesk Voice"));
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quitAction, &QAction::triggered, this, &AppShell::quit);
}

void AppShell::addMicrophoneMenu(QMenu *parent, const QString &title)
{
    // The item belongs to the parent menu, which deletes it when the menu is rebuilt; the
    // submenu goes with it. (A submenu from QMenu::addMenu() outlives every rebuild.) Deferred,
    // since a rebuild can come from one of the submenu's own items.
    QAction *item = parent->addAction(title);
    auto *menu = new QMenu(parent);
    item->setMenu(menu);
    connect(item, &QObject::destroyed, menu, &QObject::deleteLater);

    const QString current = state()->config().inputDeviceID;
    auto *group = new QActionGroup(menu);
    auto add = [&](const QString &title, const QString &id) {
        QAction *a = menu->addAction(title);
        a->setCheckable(true);
        a->setChecked(id == current);
        a->setData(id);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, id] { pickMicrophone(id); });
    };
    add(tr("System default"), QString());
    for (const auto &[id, name] : m_controller->recorder().inputs())
        add(name, id);
}

void AppShell::pickMicrophone(const QString &deviceID)
{
    Config c = state()->config();
    c.inputDeviceID = deviceID;
    state()->setConfig(c);
    state()->saveConfig();
    Log::write(QStringLiteral("microphone set to ") + m_controller->recorder().name(deviceID));
    refreshStatusItem();
}

void AppShell::toggleHUD()
{
    Config c = state()->config();
    c.hudVisible = !c.hudVisible;
    state()->setConfig(c);
    state()->saveConfig();
    applyConfig();
}

void AppShell::checkForUpdates()
{
    m_updater.check();
}

void AppShell::openLog()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(Log::fileURL()));
}

void AppShell::quit()
{
    QCoreApplication::quit();
}

namespace {

// Shows a window in front, centred on the screen the first time.
void present(QWidget *window, bool centre)
{
    if (centre) {
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), window->size());
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
    }
    // A minimised window is un-minimised, not merely raised behind its taskbar entry.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void AppShell::openMainWindow(MainView::Tab tab)
{
    if (m_mainWindow) {
        present(m_mainWindow.get(), false);
        return;
    }
    QPointer<AppShell> shell(this);
    m_mainWindow = std::make_unique<MainView>(
        state(), tab,
        [shell](const Config &config) {
            if (shell)
                shell->save(config);
        },
        [shell](const QString &text) {
            if (shell)
                shell->insert(text);
        },
        WindowServices::settings(m_controller->recorder()));
    m_mainWindow->setWindowTitle(QStringLiteral("Vesk Voice"));
    m_mainWindow->resize(820, 560);
    present(m_mainWindow.get(), true);
}

void AppShell::showMainWindow()
{
    openMainWindow(MainView::Tab::history);
}

void AppShell::insert(const QString &text)
{
    m_controller->insert(text);
}

void AppShell::openOnboarding()
{
    if (m_onboardingWindow) {
        present(m_onboardingWindow, false);
        return;
    }
    QPointer<AppShell> shell(this);
    m_onboardingWindow = new OnboardingView(
        state(),
        [shell](const Config &config) {
            if (shell)
                shell->save(config);
        },
        [shell] {
            if (shell)
                shell->finishOnboarding();
        },
        MicStatus::authorized, WindowServices::guide(wayland()));
    m_onboardingWindow->setWindowTitle(QStringLiteral("Vesk Voice"));
    present(m_onboardingWindow, true);
}

void AppShell::finishOnboarding()
{
    state()->setMessage(QString());
    if (m_onboardingWindow) {
        m_onboardingWindow->close();
        m_onboardingWindow->deleteLater();
        m_onboardingWindow = nullptr;
    }
    refreshStatusItem();
}

void AppShell::setUpHUD()
{
    m_hud = new HUDPanel(state(), m_platform.windowPinning(),
                         whileAlive(m_controller, &AppDelegate::toggleRecording),
                         whileAlive(m_controller, &AppDelegate::finishRecording),
                         whileAlive(m_controller, &AppDelegate::cancelRecording));
    m_hud->restorePosition(state()->config());
    if (state()->config().hudVisible || !m_trayAvailable)
        m_hud->show();
    connect(m_hud, &HUDPanel::moved, this, &AppShell::hudMoved);
}

void AppShell::hudMoved(const QPoint &topLeft)
{
    Config c = state()->config();
    c.hudX = topLeft.x();
    c.hudY = topLeft.y();
    state()->setConfig(c);
    // A drag moves the panel many times a second: the file is written once it comes to rest.
    m_hudSaveTimer.start();
}

void AppShell::applyHUDWidth()
{
    if (m_hud)
        m_hud->applyWidth(state()->phase());
}
