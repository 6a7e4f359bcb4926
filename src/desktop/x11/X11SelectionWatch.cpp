#include "desktop/x11/X11SelectionWatch.h"

#include <QGuiApplication>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <xcb/xcb.h>

namespace {

quint32 internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : 0;
}

} // namespace

std::unique_ptr<X11SelectionWatch> X11SelectionWatch::create()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    std::unique_ptr<X11SelectionWatch> watch(new X11SelectionWatch);
    watch->m_selections[0] = internAtom(connection, "CLIPBOARD");
    watch->m_selections[1] = XCB_ATOM_PRIMARY;
    watch->m_targets = internAtom(connection, "TARGETS");
    watch->m_timestamp = internAtom(connection, "TIMESTAMP");
    if (!watch->m_selections[0])
        return nullptr;
    qGuiApp->installNativeEventFilter(watch.get());
    return watch;
}

X11SelectionWatch::~X11SelectionWatch()
{
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

void X11SelectionWatch::whenAskedFor(QClipboard::Mode mode, QObject *context,
                                     std::function<void()> done)
{
    m_watches[mode == QClipboard::Selection ? 1 : 0] = {context, std::move(done)};
}

bool X11SelectionWatch::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const uint8_t type = event->response_type & 0x7f;
    for (int which : {0, 1}) {
        if (type == XCB_SELECTION_REQUEST) {
            const auto *request = reinterpret_cast<const xcb_selection_request_event_t *>(event);
            if (request->selection == m_selections[which] && request->target != m_targets &&
                request->target != m_timestamp)
                tell(which);
        } else if (type == XCB_SELECTION_CLEAR) {
            const auto *clear = reinterpret_cast<const xcb_selection_clear_event_t *>(event);
            if (clear->selection == m_selections[which])
                tell(which);
        }
    }
    // Qt's clipboard still answers every one of them.
    return false;
}

void X11SelectionWatch::tell(int which)
{
    Watch watch = std::exchange(m_watches[which], {});
    if (!watch.done || !watch.context)
        return;
    QTimer::singleShot(0, watch.context, [context = watch.context, done = watch.done] {
        if (context)
            done();
    });
}
