#pragma once

#include "app/controller/AppDelegate.h"
#include "app/Updater.h"

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

private:
    void build(QMenu *menu);
    void addMicrophoneMenu(QMenu *parent, const QString &title);
    // The chosen microphone as the menu names it.
    QString microphoneName() const;
    AppState *state() const { return m_controller->state(); }

    AppDelegate *m_controller;
    Updater m_updater;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    // Polls for a tray while there is none.
    QTimer m_trayWatch;
    bool m_trayAvailable = true;
};
