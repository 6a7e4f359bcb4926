#pragma once

#include "app/controller/AppDelegate.h"
#include "app/parts/OnDemand.h"
#include "app/shell/FloatingButton.h"
#include "app/shell/PermissionWatch.h"
#include "app/shell/StatusItem.h"

#include <QObject>
#include <optional>

class HUDPanel;

// The desktop face of the controller: the launch sequence, applying saved settings and
// termination, over the parts that do the rest: the tray (StatusItem), the permission watch,
// the windows and the floating button.
class AppShell : public QObject
{
    Q_OBJECT
public:
    using Trust = PermissionWatch::Trust;
    using TrustCheck = PermissionWatch::TrustCheck;

    // The platform is the desktop's backends, and the parts the windows and the update check
    // come from; both outlive the shell.
    AppShell(AppDelegate *controller, PlatformLoader &platform, TrustCheck trustCheck,
             OnDemand &parts, QObject *parent = nullptr);
    ~AppShell() override;

    // The tray icon the launch put up early; the tray takes it over.
    void adoptTrayIcon(std::unique_ptr<QSystemTrayIcon> icon) { m_status.adopt(std::move(icon)); }
    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    void applyConfig();
    void refreshStatusItem() { m_status.refresh(); }
    void checkAccessibility(bool prompt) { m_permissions.checkAccessibility(prompt); }
    // The save action of the settings views: store, write and apply a whole configuration.
    void save(const Config &config);

    void openMainWindow(WindowsPort::Tab tab) { windows().openMainWindow(tab); }
    // The main window brought forward (shown, un-minimised, raised, active), as the menu's item
    // and the `show` command do.
    void showMainWindow() { openMainWindow(WindowsPort::Tab::history); }
    void openOnboarding() { windows().openOnboarding(); }
    void insert(const QString &text) { windows().insert(text); }
    void toggleHUD();

    // The menu as last built (for the tray and for tests).
    QMenu *menu() const { return m_status.menu(); }
    HUDPanel *hud() const { return m_floating.panel(); }
    // The windows, once one was asked for.
    WindowsPort *windowsIfMade() const { return m_windows.get(); }
    bool isWaitingForPermission() const { return m_permissions.isWaiting(); }
    QSystemTrayIcon *tray() const { return m_status.tray(); }

private:
    void applyLaunchAtLogin();
    // Made at the first window: an idle app needs none of their parts.
    WindowsPort &windows();
    AppState *state() const { return m_controller->state(); }

    AppDelegate *m_controller;
    StatusItem m_status;
    PermissionWatch m_permissions;
    FloatingButton m_floating;
    OnDemand &m_parts;
    bool m_wayland;
    std::unique_ptr<WindowsPort> m_windows;
    // The start-at-login setting as last applied; nothing before the first apply.
    std::optional<bool> m_launchAtLogin;
};
