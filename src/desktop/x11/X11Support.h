#pragma once

// Xlib's own headers stay out of this one: it is included beside Qt headers.
#include <memory>
#include <vector>

typedef struct _XDisplay Display;
struct xcb_connection_t;

namespace X11 {

struct DisplayCloser
{
    void operator()(Display *display) const;
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// A connection of our own to the X server named by DISPLAY; null when there is none.
DisplayPtr openDisplay();

// Sends the requests the connection holds, without waiting for an answer.
void flush(xcb_connection_t *connection);

// Catches the X errors of the requests made while it lives, instead of Xlib's default of ending
// the process. Waits for the server's answers when it ends.
class ErrorTrap
{
public:
    explicit ErrorTrap(Display *display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;
    // Syncs, then tells whether any request failed so far.
    bool failed();

private:
    Display *m_display;
    int m_errorsBefore;
};

// The 32-bit items of a window property of the type; empty when it has none of that type. At most
// `maxItems` of them.
std::vector<unsigned long> property32(Display *display, unsigned long window,
                                      unsigned long property, unsigned long type,
                                      long maxItems = 4096);

// Our own synthetic input, which the key sources must not take for the user's. XTEST input carries
// no sender, and other programs (xdotool, a VNC server, Barrier, an on-screen keyboard) post
// through the same device, so a time window would swallow their keys too. Instead the poster
// brackets each batch of its keys with a message to every key source, under a server grab: the
// server hands out events in the order it made them, so what the XTEST device sends between the
// two messages is ours, and nothing else is.
namespace OwnInput {

// The type of the bracketing client messages; data.l[0] is 1 at the start of a batch, 0 at its
// end.
inline constexpr const char *markName = "_VESK_OWN_INPUT";

// A key source's window, on the source's own connection, that receives the brackets. Removed
// before the window goes.
void addWatcher(unsigned long window);
void removeWatcher(unsigned long window);

// Brackets the keys posted on `display` while it lives. No waiting inside: the server serves
// only this connection until it ends.
class Batch
{
public:
    explicit Batch(Display *display);
    ~Batch();
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

private:
    void mark(long begins);

    Display *m_display;
};

} // namespace OwnInput

} // namespace X11
