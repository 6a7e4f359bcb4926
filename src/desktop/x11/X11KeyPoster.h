#pragma once

#include "KeyPoster.h"
#include "X11Support.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <vector>

// Posts keys through XTEST on a connection of its own. A character that the current layout has
// at its first or Shift level is typed on that key; any other one on a spare key code bound to
// its Unicode keysym (two per key code, the second with Shift), and the map is put back a while
// after the insertion ends.
class X11KeyPoster : public KeyPoster
{
public:
    // Null without an X server or without XTEST.
    static std::unique_ptr<X11KeyPoster> open();
    ~X11KeyPoster() override;

    void beginInsertion() override;
    int postText(QString &text) override;
    void postKey(Key key, quint64 flags) override;
    int settleMs() const override;
    void endInsertion() override;
    QStringList focusedWindowClass() override;

    // The keysym that types the code point, or 0 when it is not a character to type.
    static quint32 keysymFor(char32_t codePoint);

    // A client reads the whole keyboard map again for each change it is told of, and must have
    // read the keys pressed under the old binding by then: a spare key is bound anew only once
    // this long has passed since the last press, plus the time for each binding made since.
    static constexpr int settleDelayMs = 80;
    static constexpr int perBindingMs = 20;
    // A client that is slow to read its input reads the keys typed on spare key codes with the
    // map it fetches when it gets to them: the bindings outlive the insertion by this much, and
    // the next insertion reuses them.
    static constexpr int restoreDelayMs = 5000;
    // Whether spare key codes are bound right now (for tests).
    bool holdsBindings() const;

private:
    struct Spare
    {
        int keycode = 0;
        int level = 0; // 1: typed with Shift
        quint32 bound = 0;
        bool unsettled = false;
        quint64 lastUse = 0;
    };
    struct Place
    {
        int keycode = 0;
        bool shifted = false;
    };

    explicit X11KeyPoster(X11::DisplayPtr display);
    void readLayout();
    void tap(int keycode, bool shifted);
    void fake(int keycode, bool down);
    int keycodeOf(quint32 keysym) const;
    void bind(Spare &spare, quint32 keysym);
    void unbindAll();

    X11::DisplayPtr m_display;
    bool m_inInsertion = false;
    bool m_capsToggled = false;
    QHash<quint32, Place> m_layout;
    std::vector<Spare> m_spares;
    QElapsedTimer m_lastPress;
    int m_bindingsUnsettled = 0;
    QTimer m_restoreTimer;
    quint64 m_uses = 0;
};
