#pragma once

#include "app/controller/AppDelegate.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

// The tray icon and its menu, rebuilt whole whenever what it shows changes (and as it opens);
// the menu's own actions (the microphone, updates, the log, quitting) are done here, the rest is
// asked of the shell.
class StatusItem : public QObject
{
    Q_OBJECT
public:
    explicit StatusItem(AppDelegate *controller, QObject *parent = nullptr);
    ~StatusItem() override;

    // The icon for the state as it is, in the tray at once: the launch puts it up before
    // anything else, so that the app is seen as soon as it can be. show() takes it over.
    static std::unique_ptr<QSystemTrayIcon> showEarly(const AppState *state);
    void adopt(std::unique_ptr<QSystemTrayIcon> icon) { m_early = std::move(icon); }
    // Puts the icon in the tray, or waits for a tray to appear.
    void show();
    // The icon for the phase, and a fresh menu.
    void refresh();
    // Whether the desktop shows tray icons; until it does, the floating button stays on screen.
    bool trayAvailable() const { return m_trayAvailable; }

    void pickMicrophone(const QString &deviceID);
    void checkForUpdates();
    void openLog();
    void quit();

    QMenu *menu() const { return m_menu.get(); }
    QSystemTrayIcon *tray() const { return m_tray.get(); }

Q_SIGNALS:
    void windowRequested();
    void guideRequested();
    void floatingButtonToggled();
    void trayAppeared();
    void updatesRequested();

private:
    void build(QMenu *menu);
    void addMicrophoneMenu(QMenu *parent, const QString &title);
    // The chosen microphone as the menu names it.
    QString microphoneName() const;
    static QIcon iconFor(const AppState *state);
    AppState *state() const { return m_controller->state(); }

    AppDelegate *m_controller;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    std::unique_ptr<QSystemTrayIcon> m_early;
    // Polls for a tray while there is none.
    QTimer m_trayWatch;
    bool m_trayAvailable = true;
    // The menu is being rebuilt as it opens.
    bool m_opening = false;
};
