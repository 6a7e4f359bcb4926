#pragma once

#include "desktop/ActiveWindow.h"
#include "desktop/x11/X11Support.h"

#include <QSocketNotifier>
#include <QTimer>

// _NET_ACTIVE_WINDOW of the root window, watched on a connection of our own; activation through
// the window manager, as a pager asks for it.
class X11ActiveWindow : public ActiveWindow
{
public:
    // Nothing when there is no X server or its window manager does not name the active window.
    static std::unique_ptr<X11ActiveWindow> open();
    ~X11ActiveWindow() override;

    quint64 current() const override;
    quint64 previous() const override;
    void activate(quint64 window, std::function<void(bool)> done) override;

private:
    explicit X11ActiveWindow(X11::DisplayPtr display);
    void readEvents();
    void noteActive();
    bool ours(unsigned long window) const;
    bool viewable(unsigned long window) const;
    bool hasFocus(unsigned long window) const;

    X11::DisplayPtr m_display;
    unsigned long m_activeAtom = 0;
    unsigned long m_pidAtom = 0;
    unsigned long m_previous = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_wait;
};
