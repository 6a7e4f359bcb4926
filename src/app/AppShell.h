#pragma once

#include "AppDelegate.h"
#include "MainView.h"
#include "PlatformLoader.h"
#include "Updater.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class HUDPanel;
#include "OnboardingView.h"

// The desktop face of the controller: the launch sequence, the tray icon and its menu, the
// floating button, the wait for input permission, applying saved settings, and termination.
class AppShell : public QObject
{
    Q_OBJECT
public:
    struct Trust
    {
        bool trusted = false;
        QString reason; // why not, for the user
    };
    using TrustCheck = std::function<Trust()>;

    // The platform is the desktop's backends; it outlives the shell.
    AppShell(AppDelegate *controller, PlatformLoader &platform, TrustCheck trustCheck,
             QObject *parent = nullptr);
    ~AppShell() override;

    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    void applyConfig();
    void refreshStatusItem();
    void checkAccessibility(bool prompt);
    // The save action of the settings views: store, write and apply a whole configuration.
    void save(const Config &config);

    // The main window, made on first request and kept; the tab only applies to a new window.
    void openMainWindow(MainView::Tab tab);
    // The main window brought forward (shown, un-minimised, raised, active), as the menu's item
    // and the `show` command do.
    void showMainWindow();
    // The first-run guide, until its end forgets it.
    void openOnboarding();
    // The insert action of the main window: the text at the cursor of the front application.
    void insert(const QString &text);

    // Menu actions.
    void pickMicrophone(const QString &deviceID);
    void toggleHUD();
    void checkForUpdates();
    void openLog();
    void quit();

    // The menu as last built (for the tray and for tests).
    QMenu *menu() const { return m_menu.get(); }
    HUDPanel *hud() const { return m_hud; }
    MainView *mainWindow() const { return m_mainWindow.get(); }
    OnboardingView *onboardingWindow() const { return m_onboardingWindow; }
    bool isWaitingForPermission() const { return m_permissionTimer.isActive(); }
    QSystemTrayIcon *tray() const { return m_tray.get(); }

private:
    bool wayland() const { return m_platform.isWayland(); }
    // Which way the hold key takes on Wayland, for the settings form and the guide.
    void refreshHoldKeyAdvice();
    void buildMenu(QMenu *menu);
    void addMicrophoneMenu(QMenu *parent, const QString &title);
    void setUpHUD();
    void permissionResult(bool granted);
    void pollAccessibility();
    void applyHUDWidth();
    void applyLaunchAtLogin();
    void hudMoved(const QPoint &topLeft);
    void finishOnboarding();
    AppState *state() const { return m_controller->state(); }

    AppDelegate *m_controller;
    PlatformLoader &m_platform;
    TrustCheck m_trustCheck;
    Updater m_updater;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    std::unique_ptr<QMenu> m_menu;
    HUDPanel *m_hud = nullptr;
    std::unique_ptr<MainView> m_mainWindow;
    QPointer<OnboardingView> m_onboardingWindow;
    QTimer m_permissionTimer;
    QTimer m_hudSaveTimer;
    // Polls for a tray while there is none.
    QTimer m_trayWatch;
    bool m_trayAvailable = true;
    // The start-at-login setting as last applied; nothing before the first apply.
    std::optional<bool> m_launchAtLogin;
};
