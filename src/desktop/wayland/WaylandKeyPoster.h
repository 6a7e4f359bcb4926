#pragma once

#include "desktop/KeyPoster.h"
#include "desktop/wayland/WaylandSupport.h"

#include <QByteArray>
#include <QHash>
#include <QList>

struct zwp_virtual_keyboard_v1;

// Posts keys through the compositor's virtual keyboard, on a connection of its own. The keyboard
// carries a keymap of ours, built for each insertion to hold the characters it types (each on a
// key of its own, one level, no modifier); the compositor hands the keymap to the focused client
// in order with the keys, so no key can be read with a map it was not meant for. Characters sit
// only on the letter, digit and punctuation rows, the places a client that goes by key position
// (Chromium, Electron) takes as printable; a text with more distinct characters than those rows
// hold goes in batches, each with the keymap sent again. The keys every insertion needs (Return,
// V, Space, Insert, Control, Shift, Alt) sit at their usual positions, so that shortcuts a client
// matches by key position (Control+V on a non-Latin layout) work.
class WaylandKeyPoster : public KeyPoster
{
public:
    // Null without a compositor offering the virtual keyboard.
    static std::unique_ptr<WaylandKeyPoster> open();
    ~WaylandKeyPoster() override;

    void beginInsertion(const QString &text) override;
    int postText(QString &text) override;
    void postKey(Key key, quint64 flags) override;
    void endInsertion() override;
    QStringList focusedWindowClass() override;
    // Chromium, and so every Electron app, takes a key's character as 16 bits: 😀 arrives as
    // U+F600.
    bool typesBeyondBmp() const override { return false; }

    struct Keymap
    {
        // The keymap in xkb's text form.
        QByteArray text;
        // The key code (xkb's, evdev + 8) of each character it holds.
        QHash<char32_t, quint32> keycodes;
    };
    // A keymap holding the fixed keys and as many of the characters, in order of first use, as
    // the printable rows have places for. Characters without a keysym are left out.
    static Keymap keymapFor(const std::u32string &characters);

private:
    WaylandKeyPoster() = default;
    bool connectKeyboard();
    void upload(const Keymap &keymap);
    void tap(quint32 keycode);
    void setModifiers(quint32 mask);
    void flush();

    std::shared_ptr<Wayland::Connection> m_connection;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    Keymap m_keymap;
    // The insertion's characters, and how many of them were typed.
    std::u32string m_text;
    size_t m_offset = 0;
    bool m_failed = false;
};
