#pragma once

#include "app/controller/AppDelegate.h"

#include <QObject>
#include <QPoint>
#include <QTimer>

class HUDPanel;
class WindowPinning;

// The floating button's controller: the panel with its three actions on the controller, its
// place restored and kept (written once a drag comes to rest), its width by phase, and whether
// it shows.
class FloatingButton : public QObject
{
    Q_OBJECT
public:
    FloatingButton(AppDelegate *controller, WindowPinning &pinning, QObject *parent = nullptr);
    ~FloatingButton() override;

    // From now on the panel may show; it shows when `visible`.
    void setUp(bool visible);
    // The panel is made, and placed, the first time it shows.
    void setVisible(bool visible);
    // The width the current phase asks for, about the same centre.
    void applyWidth();
    // A place not yet written goes to the file now (at quit).
    void flush();

    // Nothing until it first showed.
    HUDPanel *panel() const { return m_hud; }

private:
    void moved(const QPoint &topLeft);
    AppState *state() const { return m_controller->state(); }

    AppDelegate *m_controller;
    WindowPinning &m_pinning;
    HUDPanel *m_hud = nullptr;
    bool m_setUp = false;
    QTimer m_saveTimer;
};
