#pragma once

#include <QHash>
#include <functional>
#include <vector>

typedef struct _XDisplay Display;

// What the keyboard types as it is now: the key of each keysym that the layout in use has at its
// first or Shift level, the paste key, and the key codes that type nothing (free to lend).
class X11Keymap
{
public:
    struct Place
    {
        int keycode = 0;
        bool shifted = false;
    };

    // Reads the server's map. Key codes that `ours` claims (bound by the poster) are neither
    // the layout's nor free.
    void read(Display *display, const std::function<bool(int)> &ours);

    const Place *find(quint32 keysym) const;
    // The key that types the keysym unshifted: the layout's, else any key code the server maps
    // to it; 0 when none.
    int keycodeFor(Display *display, quint32 keysym) const;

    // The key that pastes, and the group to lock while pressing it (-1: as it is).
    int pasteKeycode() const { return m_pasteKeycode; }
    int pasteGroup() const { return m_pasteGroup; }
    // The key where `v` sits on a US keyboard.
    int vPosition() const { return m_vPosition; }
    const std::vector<int> &emptyKeycodes() const { return m_empty; }

private:
    QHash<quint32, Place> m_places;
    int m_pasteKeycode = 0;
    int m_pasteGroup = -1;
    int m_vPosition = 0;
    std::vector<int> m_empty;
};
