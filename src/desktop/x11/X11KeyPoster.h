#pragma once

#include "KeyPoster.h"
#include "X11Support.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSocketNotifier>
#include <QTimer>
#include <vector>

// Posts keys through XTEST on a connection of its own. A character that the current layout has
// at its first or Shift level is typed on that key; any other one on a spare key code (one the
// layout leaves empty) bound to its keysym, two per key code, the second with Shift.
//
// A client looks a key event up in the keyboard map it fetches when it gets to that event, not in
// the map of the moment the key was sent; so a key code is never bound anew while a client may
// still hold unread events for it. Everything an insertion needs is bound before its first key;
// a text that needs more than the spare key codes hold is typed in batches, and a key code typed
// on is rebound only once the focused client has proved it read those keys (it answers a
// _NET_WM_PING sent after them, which it reads after them), or, for a client that does not
// answer pings, after a generous margin.
class X11KeyPoster : public KeyPoster
{
public:
    // Null without an X server or without XTEST.
    static std::unique_ptr<X11KeyPoster> open();
    ~X11KeyPoster() override;

    void beginInsertion(const QString &text) override;
    int postText(QString &text) override;
    void postKey(Key key, quint64 flags) override;
    void endInsertion() override;
    QStringList focusedWindowClass() override;

    // The keysym that types the code point, or 0 when it is not a character to type.
    static quint32 keysymFor(char32_t codePoint);

    // The bindings outlive an insertion by this much, so that the next one reuses them without a
    // map change; they go back once the client has read every key typed on them.
    static constexpr int restoreDelayMs = 5000;
    // Without an answer to a ping, a key code typed on is taken as read after this long.
    static constexpr int unansweredMarginMs = 2000;
    // A client that answers pings but is slow to: how long at most to wait for it.
    static constexpr int pingTimeoutMs = 15000;
    // Whether spare key codes are bound right now (for tests).
    bool holdsBindings() const;

private:
    struct Slot
    {
        quint32 bound = 0;
        // The press that used it last, and when.
        quint64 pressSerial = 0;
        qint64 pressedAtMs = -1;
    };
    struct Spare
    {
        int keycode = 0;
        Slot slots[2];
    };
    struct Place
    {
        int keycode = 0;
        bool shifted = false;
    };

    // One batch of our own keys (X11::OwnInput) around the keys posted while it lives; nested
    // ones join the outer one.
    class OwnKeys
    {
    public:
        explicit OwnKeys(X11KeyPoster *poster);
        ~OwnKeys();
        OwnKeys(const OwnKeys &) = delete;
        OwnKeys &operator=(const OwnKeys &) = delete;

    private:
        X11KeyPoster *m_poster;
        std::optional<X11::OwnInput::Batch> m_batch;
    };

    explicit X11KeyPoster(X11::DisplayPtr display);
    void readLayout();
    void dropForeignBindings();
    void neutraliseModifiers();
    void restoreModifiers();
    void bindFor(const QString &text);
    void applyBindings(const std::vector<int> &keycodes);
    void tap(int keycode, bool shifted);
    void fake(int keycode, bool down);
    int layoutKeycode(quint32 keysym) const;
    bool isRead(const Slot &slot) const;
    bool allRead() const;
    void askForProof();
    void readEvents();
    void restoreWhenRead();
    void unbindAll();
    void watchTermination(bool on);
    static QList<quint32> keysymsNeeded(const QString &text);

    X11::DisplayPtr m_display;
    QElapsedTimer m_clock;
    bool m_inInsertion = false;
    QHash<quint32, Place> m_layout;
    // The key that pastes: a key code, and the group to lock while pressing it (-1: as it is).
    int m_pasteKeycode = 0;
    int m_pasteGroup = -1;
    // The key where `v` sits on a US keyboard.
    int m_vPosition = 0;
    std::vector<Spare> m_spares;
    // What the insertion changed, to put back at its end.
    unsigned m_lockedMods = 0;
    unsigned m_latchedMods = 0;
    int m_lockedGroup = -1;
    // Proof that the client read the keys: every press up to m_readSerial has been read.
    quint64 m_pressSerial = 0;
    quint64 m_readSerial = 0;
    quint64 m_pingSerial = 0;
    unsigned long m_pingId = 0;
    qint64 m_pingSentAtMs = -1;
    bool m_pingAnswerable = false;
    int m_xkbEvent = -1;
    bool m_layoutChanged = false;
    QTimer m_restoreTimer;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_ownKeysOpen = false;
};
