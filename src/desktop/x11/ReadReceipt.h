#pragma once

#include <QtGlobal>

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

// Proof that the focused client has read the keys posted so far: it answers a _NET_WM_PING sent
// after them, which it reads after them, as both come on its one connection. A client that does
// not answer pings is taken to have read a key after a margin. Times are the poster's clock, in
// milliseconds, so that the rules are tested without an X server.
class ReadReceipt
{
public:
    // Without an answer to a ping, a key is taken as read after this long.
    static constexpr int unansweredMarginMs = 2000;
    // A client that answers pings but is slow to: how long at most to wait for it.
    static constexpr int pingTimeoutMs = 15000;

    // A key posted: its serial, for isRead.
    quint64 notePress() { return ++m_pressSerial; }
    bool isRead(quint64 pressSerial, qint64 pressedAtMs, qint64 nowMs) const;
    // Whether keys were posted since the last proof was asked for, and are not proved read.
    bool wantsProof() const;

    // Asks the focused client for proof (a ping to its top-level window), where it answers
    // pings; nothing when wantsProof() is false.
    void ask(Display *display, qint64 nowMs);
    // Takes the answer to the ping; false for any other event.
    bool takeAnswer(Display *display, const XEvent &event, qint64 nowMs);

    // The bookkeeping of ask(), by itself.
    unsigned long pingSent(bool answerable, qint64 nowMs);
    bool answered(unsigned long pingId);

private:
    quint64 m_pressSerial = 0;
    // Every press up to here has been read.
    quint64 m_readSerial = 0;
    quint64 m_pingSerial = 0;
    unsigned long m_pingId = 0;
    qint64 m_pingSentAtMs = -1;
    bool m_pingAnswerable = false;
};
