#pragma once

#include "app/controller/AppDelegate.h"
#include "app/parts/OnDemand.h"
#include "ui/main/MainView.h"
#include "onboarding/OnboardingView.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

// The main window (made on first request and kept; the tab only applies to a new window) and
// the first-run guide (until its end forgets it), and the insert action of History.
class AppWindows : public QObject, public WindowsPort
{
    Q_OBJECT
public:
    using Save = std::function<void(const Config &)>;
    // `wayland`: the guide's pages speak of a Wayland session.
    AppWindows(AppDelegate *controller, bool wayland, Save save, QObject *parent = nullptr);
    ~AppWindows() override;

    void openMainWindow(Tab tab) override;
    void openMainWindow(MainView::Tab tab);
    void openOnboarding() override;
    // The insert action of the main window: the text at the cursor of the app the user was in.
    void insert(const QString &text) override;

    MainView *mainWindow() const { return m_mainWindow.get(); }
    OnboardingView *onboardingWindow() const { return m_onboardingWindow; }

private:
    void finishOnboarding();
    AppState *state() const { return m_controller->state(); }

    AppDelegate *m_controller;
    bool m_wayland;
    Save m_save;
    std::unique_ptr<MainView> m_mainWindow;
    QPointer<OnboardingView> m_onboardingWindow;
};
