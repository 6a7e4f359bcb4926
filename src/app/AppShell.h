#pragma once

#include "app/controller/AppDelegate.h"
#include "app/shell/AppWindows.h"
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

    // The platform is the desktop's backends; it outlives the shell.
    AppShell(AppDelegate *controller, PlatformLoader &platform, TrustCheck trustCheck,
             QObject *parent = nullptr);
    ~AppShell() override;

    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    void applyConfig();
    void refreshStatusItem() { m_status.refresh(); }
    void checkAccessibility(bool prompt) { m_permissions.checkAccessibility(prompt); }
    // The save action of the settings views: store, write and apply a whole configuration.
    void save(const Config &config);

    void openMainWindow(MainView::Tab tab) { m_windows.openMainWindow(tab); }
    // The main window brought forward (shown, un-minimised, raised, active), as the menu's item
    // and the `show` command do.
    void showMainWindow() { m_windows.openMainWindow(MainView::Tab::history); }
    void openOnboarding() { m_windows.openOnboarding(); }
    void insert(const QString &text) { m_windows.insert(text); }
    void toggleHUD();

    // The menu as last built (for the tray and for tests).
    QMenu *menu() const { return m_status.menu(); }
    HUDPanel *hud() const { return m_floating.panel(); }
    MainView *mainWindow() const { return m_windows.mainWindow(); }
    OnboardingView *onboardingWindow() const { return m_windows.onboardingWindow(); }
    bool isWaitingForPermission() const { return m_permissions.isWaiting(); }
    QSystemTrayIcon *tray() const { return m_status.tray(); }

private:
    void applyLaunchAtLogin();
    AppState *state() const { return m_controller->state(); }

    AppDelegate *m_controller;
    StatusItem m_status;
    PermissionWatch m_permissions;
    AppWindows m_windows;
    FloatingButton m_floating;
    // The start-at-login setting as last applied; nothing before the first apply.
    std::optional<bool> m_launchAtLogin;
};
