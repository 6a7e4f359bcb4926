#pragma once

#include "desktop/KeyPoster.h"
#include "desktop/x11/ReadReceipt.h"
#include "desktop/x11/SpareKeyPool.h"
#include "records/TerminationGuard.h"
#include "desktop/x11/X11Keymap.h"
#include "desktop/x11/X11ModifierGuard.h"
#include "desktop/x11/X11Support.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <optional>
#include <vector>

// Posts keys through XTEST on a connection of its own. A character that the current layout has
// at its first or Shift level is typed on that key (X11Keymap); any other one on a spare key code
// bound to its keysym (SpareKeyPool).
//
// A client looks a key event up in the keyboard map it fetches when it gets to that event, not in
// the map of the moment the key was sent; so a key code is never bound anew while a client may
// still hold unread events for it. Everything an insertion needs is bound before its first key;
// a text that needs more than the spare key codes hold is typed in batches, and a key code typed
// on is rebound only once the focused client has proved it read those keys (ReadReceipt).
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
    // Whether spare key codes are bound right now (for tests).
    bool holdsBindings() const;

private:
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
    void bindFor(const QString &text);
    void applyBindings(const std::vector<int> &keycodes);
    void tap(int keycode, bool shifted);
    void fake(int keycode, bool down);
    bool isRead(const SpareKeyPool::Slot &slot) const;
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
    X11Keymap m_keymap;
    SpareKeyPool m_pool;
    ReadReceipt m_receipt;
    X11ModifierGuard m_modifiers;
    int m_xkbEvent = -1;
    bool m_layoutChanged = false;
    QTimer m_restoreTimer;
    std::unique_ptr<QSocketNotifier> m_notifier;
    // While spare key codes are bound: a termination signal puts them back first.
    std::unique_ptr<TerminationGuard> m_termination;
    std::unique_ptr<TerminationGuard> m_spentTermination;
    bool m_ownKeysOpen = false;
};
