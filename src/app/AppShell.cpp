#include "app/AppShell.h"

#include "language/AppLanguage.h"
#include "app/Autostart.h"
#include "app/shell/ControllerActions.h"
#include "records/Log.h"

#include <QApplication>

AppShell::AppShell(AppDelegate *controller, PlatformLoader &platform, TrustCheck trustCheck,
                   OnDemand &parts, QObject *parent)
    : QObject(parent), m_controller(controller), m_status(controller),
      m_permissions(controller, platform, std::move(trustCheck)),
      m_floating(controller, platform.windowPinning()), m_parts(parts),
      m_wayland(platform.isWayland())
{
    connect(&m_status, &StatusItem::windowRequested, this, &AppShell::showMainWindow);
    connect(&m_status, &StatusItem::guideRequested, this, &AppShell::openOnboarding);
    connect(&m_status, &StatusItem::floatingButtonToggled, this, &AppShell::toggleHUD);
    connect(&m_status, &StatusItem::trayAppeared, this, &AppShell::applyConfig);
    connect(&m_status, &StatusItem::updatesRequested, this,
            [this] { m_parts.get().checkForUpdates(); });
    connect(m_controller, &AppDelegate::windowRequested, this, &AppShell::showMainWindow);
}

AppShell::~AppShell() = default;

WindowsPort &AppShell::windows()
{
    if (!m_windows)
        m_windows = m_parts.get().windows(m_controller, m_wayland,
                                          [this](const Config &config) { save(config); });
    return *m_windows;
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

    m_status.show();
    // Without a tray the floating button is the only way in, whatever the setting says.
    m_floating.setUp(state()->config().hudVisible || !m_status.trayAvailable());
    applyConfig();

    m_controller->hotkey().setCallbacks(
        whileAlive(m_controller, [](AppDelegate *c) { c->startRecording(QStringLiteral("mac")); }),
        whileAlive(m_controller, &AppDelegate::finishRecording),
        whileAlive(m_controller, &AppDelegate::cancelRecording));

    // Back after a restart for a new interface language: the window it was chosen in.
    if (AppLanguage::takeReopenWindow() == QLatin1String("settings"))
        openMainWindow(WindowsPort::Tab::settings);

    if (!state()->config().onboardingDone) {
        m_permissions.checkAccessibility(false);
        openOnboarding();
        return;
    }

    // Linux has no per-application microphone permission: the answer is always yes, and the
    // layer stays so that a sandbox portal can answer later.
    m_permissions.permissionResult(true);
    m_permissions.checkAccessibility(true);
    if (state()->config().resolvedApiKey().isEmpty()) {
        state()->setMessage(tr("Add your Gemini API key in Settings."));
        openMainWindow(WindowsPort::Tab::settings);
    }
}

void AppShell::applicationWillTerminate()
{
    m_floating.flush();
    // Space may have been freed since a save failed.
    state()->retryFailedSaves();
    m_controller->shutDown();
    m_controller->hotkey().stop();
    if (m_controller->recorder().isRecording())
        m_controller->recorder().stop([](const std::optional<Recording> &) {});
    m_controller->recorder().release();
}

void AppShell::applyConfig()
{
    const Config &c = state()->config();
    HotkeyPort &hotkey = m_controller->hotkey();
    hotkey.setKind(c.hotkey);
    state()->setHotkeyInEffect(c.hotkey);
    hotkey.setHoldThreshold(double(c.holdThresholdMs) / 1000.0);
    hotkey.setReadInputDevices(c.readInputDevices);
    if (hotkey.isInstalled())
        hotkey.start();
    m_permissions.refreshHoldKeyAdvice();
    // Without a tray the floating button is the only way in, whatever the setting says.
    m_floating.setVisible(c.hudVisible || !m_status.trayAvailable());
    m_floating.applyWidth();
    applyLaunchAtLogin();
    m_status.refresh();
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

void AppShell::toggleHUD()
{
    Config c = state()->config();
    c.hudVisible = !c.hudVisible;
    state()->setConfig(c);
    state()->saveConfig();
    applyConfig();
}
