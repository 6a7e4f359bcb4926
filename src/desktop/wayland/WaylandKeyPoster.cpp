#include "desktop/wayland/WaylandKeyPoster.h"

#include "desktop/KeyEvent.h"
#include "records/Log.h"

#include <QElapsedTimer>
#include <fcntl.h>
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace {

// xkb key codes are evdev's plus 8.
constexpr quint32 xkb(int evdev)
{
    return quint32(evdev + 8);
}

struct FixedKey
{
    quint32 keycode;
    const char *keysym;
};

const FixedKey fixedKeys[] = {{xkb(KEY_ENTER), "Return"},       {xkb(KEY_V), "v"},
                              {xkb(KEY_SPACE), "space"},        {xkb(KEY_INSERT), "Insert"},
                              {xkb(KEY_LEFTCTRL), "Control_L"}, {xkb(KEY_LEFTSHIFT), "Shift_L"},
                              {xkb(KEY_LEFTALT), "Alt_L"}};

// The real modifiers' bits in any keymap: Shift, Lock, Control, Mod1 (Alt) are the first four.
constexpr quint32 shiftMask = 1U << 0;
constexpr quint32 controlMask = 1U << 2;
constexpr quint32 altMask = 1U << 3;

// Where characters go: the letter, digit and punctuation rows of a PC keyboard. Chromium (and so
// every Electron app) acts on a key's position for anything but a Latin letter or digit: a
// character on Backspace's code deletes, on F3's opens the find bar, on F5's reloads the page.
// V and Space hold their own characters.
const int characterPositions[] = {
    KEY_GRAVE,      KEY_1,     KEY_2,   KEY_3,     KEY_4,         KEY_5,
    KEY_6,          KEY_7,     KEY_8,   KEY_9,     KEY_0,         KEY_MINUS,
    KEY_EQUAL,      KEY_Q,     KEY_W,   KEY_E,     KEY_R,         KEY_T,
    KEY_Y,          KEY_U,     KEY_I,   KEY_O,     KEY_P,         KEY_LEFTBRACE,
    KEY_RIGHTBRACE, KEY_A,     KEY_S,   KEY_D,     KEY_F,         KEY_G,
    KEY_H,          KEY_J,     KEY_K,   KEY_L,     KEY_SEMICOLON, KEY_APOSTROPHE,
    KEY_BACKSLASH,  KEY_Z,     KEY_X,   KEY_C,     KEY_B,         KEY_N,
    KEY_M,          KEY_COMMA, KEY_DOT, KEY_SLASH, KEY_102ND};

// A key for every character: a one-level key whose keysym is the character's.
xkb_keysym_t keysymFor(char32_t codePoint)
{
    if (codePoint < 0x20 || (codePoint >= 0x7f && codePoint < 0xa0))
        return XKB_KEY_NoSymbol;
    return xkb_utf32_to_keysym(codePoint);
}

quint32 timeMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return quint32(clock.elapsed());
}

} // namespace

WaylandKeyPoster::Keymap WaylandKeyPoster::keymapFor(const std::u32string &characters)
{
    Keymap keymap;
    QByteArray keycodes;
    QByteArray symbols;
    const auto addKey = [&](quint32 keycode, const QByteArray &keysym) {
        keycodes += QByteArray("    <K") + QByteArray::number(keycode) +
                    "> = " + QByteArray::number(keycode) + ";\n";
        symbols +=
            QByteArray("    key <K") + QByteArray::number(keycode) + "> { [ " + keysym + " ] };\n";
    };
    for (const FixedKey &key : fixedKeys)
        addKey(key.keycode, key.keysym);
    keymap.keycodes.insert(U'v', xkb(KEY_V));
    keymap.keycodes.insert(U' ', xkb(KEY_SPACE));
    size_t next = 0;
    for (const char32_t c : characters) {
        if (keymap.keycodes.contains(c))
            continue;
        const xkb_keysym_t keysym = keysymFor(c);
        if (keysym == XKB_KEY_NoSymbol)
            continue;
        if (next == std::size(characterPositions))
            break;
        const quint32 keycode = xkb(characterPositions[next++]);
        char name[64];
        xkb_keysym_get_name(keysym, name, sizeof name);
        addKey(keycode, QByteArray(name));
        keymap.keycodes.insert(c, keycode);
    }
    keymap.text = "xkb_keymap {\n"
                  "  xkb_keycodes \"vesk\" {\n"
                  "    minimum = 8;\n"
                  "    maximum = 255;\n" +
                  keycodes +
                  "  };\n"
                  "  xkb_types \"vesk\" {\n"
                  "    type \"ONE_LEVEL\" {\n"
                  "      modifiers = none;\n"
                  "      level_name[Level1] = \"Any\";\n"
                  "    };\n"
                  "  };\n"
                  "  xkb_compat \"vesk\" {\n"
                  "    interpret Control_L { action = SetMods(modifiers = Control); };\n"
                  "    interpret Shift_L { action = SetMods(modifiers = Shift); };\n"
                  "    interpret Alt_L { action = SetMods(modifiers = Mod1); };\n"
                  "  };\n"
                  "  xkb_symbols \"vesk\" {\n" +
                  symbols + "    modifier_map Control { <K" +
                  QByteArray::number(xkb(KEY_LEFTCTRL)) + "> };\n    modifier_map Shift { <K" +
                  QByteArray::number(xkb(KEY_LEFTSHIFT)) + "> };\n    modifier_map Mod1 { <K" +
                  QByteArray::number(xkb(KEY_LEFTALT)) +
                  "> };\n"
                  "  };\n"
                  "};\n";
    return keymap;
}

std::unique_ptr<WaylandKeyPoster> WaylandKeyPoster::open()
{
    std::unique_ptr<WaylandKeyPoster> poster(new WaylandKeyPoster);
    if (!poster->connectKeyboard())
        return nullptr;
    return poster;
}

WaylandKeyPoster::~WaylandKeyPoster()
{
    if (m_keyboard) {
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
        wl_display_flush(m_connection->display);
    }
}

bool WaylandKeyPoster::connectKeyboard()
{
    if (m_keyboard) {
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
        m_keyboard = nullptr;
    }
    m_connection = Wayland::shared();
    if (!m_connection)
        return false;
    auto *manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(m_connection->bind(
        m_connection->virtualKeyboardName, &zwp_virtual_keyboard_manager_v1_interface, 1));
    if (!manager || !m_connection->seat) {
        Log::write(QStringLiteral("the Wayland compositor offers no virtual keyboard"));
        if (manager)
            zwp_virtual_keyboard_manager_v1_destroy(manager);
        m_connection.reset();
        return false;
    }
    m_keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, m_connection->seat);
    zwp_virtual_keyboard_manager_v1_destroy(manager);
    // A compositor that allows it only to some clients says so now, with a protocol error.
    if (wl_display_roundtrip(m_connection->display) < 0 || m_connection->broken()) {
        Log::write(QStringLiteral("the Wayland compositor refused a virtual keyboard"));
        m_keyboard = nullptr; // gone with the connection
        m_connection.reset();
        return false;
    }
    m_failed = false;
    return true;
}

void WaylandKeyPoster::upload(const Keymap &keymap)
{
    // The compositor maps the keymap from a file: a sealed memory file of ours.
    const int fd = memfd_create("vesk-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        Log::write(QStringLiteral("no memory file for the keymap"));
        return;
    }
    const QByteArray &text = keymap.text;
    // The size sent includes the terminating zero, which the compositor expects.
    const qsizetype size = text.size() + 1;
    qsizetype written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, text.constData() + written, size_t(size - written));
        if (n <= 0)
            break;
        written += n;
    }
    if (written == size) {
        fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
        zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       quint32(size));
        m_keymap = keymap;
    }
    ::close(fd);
}

void WaylandKeyPoster::tap(quint32 keycode)
{
    const quint32 evdev = keycode - 8;
    zwp_virtual_keyboard_v1_key(m_keyboard, timeMs(), evdev, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(m_keyboard, timeMs(), evdev, WL_KEYBOARD_KEY_STATE_RELEASED);
}

void WaylandKeyPoster::setModifiers(quint32 mask)
{
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, mask, 0, 0, 0);
}

void WaylandKeyPoster::flush()
{
    if (wl_display_flush(m_connection->display) < 0 || m_connection->broken()) {
        if (!m_failed)
            Log::write(QStringLiteral("the Wayland compositor closed the virtual keyboard"));
        m_failed = true;
    }
}

void WaylandKeyPoster::beginInsertion(const QString &text)
{
    // The compositor may have restarted since the last insertion.
    if ((m_failed || !m_keyboard) && !connectKeyboard())
        return;
    m_text = text.toStdU32String();
    m_offset = 0;
    upload(keymapFor(m_text));
    // Our keyboard starts with no modifier and no lock held, whatever the user's holds.
    setModifiers(0);
    flush();
}

int WaylandKeyPoster::postText(QString &text)
{
    if (!m_keyboard || m_failed) {
        text.clear();
        return 0;
    }
    const std::u32string characters = text.toStdU32String();
    for (const char32_t c : characters) {
        if (!m_keymap.keycodes.contains(c) && keysymFor(c) != XKB_KEY_NoSymbol)
            // A text with more characters than positions: the next ones get a keymap of their
            // own, which reaches the client after the keys typed with this one.
            upload(keymapFor(m_offset < m_text.size() ? m_text.substr(m_offset)
                                                      : std::u32string(1, c)));
        const auto keycode = m_keymap.keycodes.constFind(c);
        if (keycode != m_keymap.keycodes.constEnd())
            tap(*keycode);
        ++m_offset;
    }
    text.clear();
    flush();
    return 0;
}

void WaylandKeyPoster::postKey(Key key, quint64 flags)
{
    if (!m_keyboard || m_failed)
        return;
    if (m_keymap.text.isEmpty())
        upload(keymapFor({}));
    quint32 keycode = xkb(KEY_ENTER);
    if (key == Key::v)
        keycode = xkb(KEY_V);
    else if (key == Key::insert)
        keycode = xkb(KEY_INSERT);
    QList<quint32> held;
    quint32 mask = 0;
    if (flags & ModifierFlag::control) {
        held.append(xkb(KEY_LEFTCTRL));
        mask |= controlMask;
    }
    if (flags & ModifierFlag::shift) {
        held.append(xkb(KEY_LEFTSHIFT));
        mask |= shiftMask;
    }
    if (flags & ModifierFlag::option) {
        held.append(xkb(KEY_LEFTALT));
        mask |= altMask;
    }
    for (const quint32 modifier : held)
        zwp_virtual_keyboard_v1_key(m_keyboard, timeMs(), modifier - 8,
                                    WL_KEYBOARD_KEY_STATE_PRESSED);
    setModifiers(mask);
    tap(keycode);
    for (const quint32 modifier : held)
        zwp_virtual_keyboard_v1_key(m_keyboard, timeMs(), modifier - 8,
                                    WL_KEYBOARD_KEY_STATE_RELEASED);
    setModifiers(0);
    flush();
}

void WaylandKeyPoster::endInsertion()
{
    if (!m_keyboard || m_failed)
        return;
    // Every key reached the compositor before the insertion counts as done.
    if (wl_display_roundtrip(m_connection->display) < 0)
        flush();
}

QStringList WaylandKeyPoster::focusedWindowClass()
{
    // Only sway says which window has the focus; elsewhere Control+V it is.
    return Wayland::swayFocusedWindowClass();
}
