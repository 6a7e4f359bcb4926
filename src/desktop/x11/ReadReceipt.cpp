#include "desktop/x11/ReadReceipt.h"

#include "desktop/x11/X11FocusedWindow.h"
#include "desktop/x11/X11Support.h"

#include <QLoggingCategory>
#include <X11/Xlib.h>
#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcKeyPoster)

bool ReadReceipt::isRead(quint64 pressSerial, qint64 pressedAtMs, qint64 nowMs) const
{
    if (pressSerial <= m_readSerial || pressedAtMs < 0)
        return true;
    const bool unanswered = m_pingSerial >= pressSerial && !m_pingAnswerable;
    const qint64 margin = unanswered ? unansweredMarginMs : pingTimeoutMs;
    return nowMs - pressedAtMs >= margin;
}

bool ReadReceipt::wantsProof() const
{
    return m_pressSerial > m_readSerial && m_pingSerial != m_pressSerial;
}

unsigned long ReadReceipt::pingSent(bool answerable, qint64 nowMs)
{
    m_pingSerial = m_pressSerial;
    m_pingSentAtMs = nowMs;
    m_pingAnswerable = answerable;
    return answerable ? ++m_pingId : 0;
}

bool ReadReceipt::answered(unsigned long pingId)
{
    if (pingId == 0 || pingId != m_pingId)
        return false;
    m_readSerial = std::max(m_readSerial, m_pingSerial);
    return true;
}

void ReadReceipt::ask(Display *dpy, qint64 nowMs)
{
    if (!wantsProof())
        return;
    const Atom protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(dpy, "_NET_WM_PING", False);
    const X11::ErrorTrap trap(dpy);
    // The keys went to the focused window; the ping goes to its top-level window, which says
    // whether it answers.
    const X11::FocusedWindow::Protocols target = X11::FocusedWindow::protocols(dpy, ping);
    const unsigned long id = pingSent(target.lists, nowMs);
    if (id == 0) {
        qCDebug(lcKeyPoster) << "the focused window does not answer pings";
        return;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target.window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(ping);
    event.xclient.data.l[1] = long(id);
    event.xclient.data.l[2] = long(target.window);
    XSendEvent(dpy, target.window, False, NoEventMask, &event);
    XFlush(dpy);
    qCDebug(lcKeyPoster) << "ping" << id << "to" << target.window << "after press" << m_pingSerial;
}

bool ReadReceipt::takeAnswer(Display *dpy, const XEvent &event, qint64 nowMs)
{
    if (event.type != ClientMessage || event.xclient.format != 32 ||
        Atom(event.xclient.data.l[0]) != XInternAtom(dpy, "_NET_WM_PING", False))
        return false;
    if (answered(static_cast<unsigned long>(event.xclient.data.l[1])))
        qCDebug(lcKeyPoster) << "pong" << m_pingId << "after" << nowMs - m_pingSentAtMs << "ms";
    return true;
}
