#pragma once

#include <QList>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <vector>

// Key codes the layout leaves empty, lent to the characters it lacks: two per key code, the
// second typed with Shift. Only the bookkeeping lives here, the keyboard map requests are the
// poster's; so it is tested without an X server.
class SpareKeyPool
{
public:
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
        bool holds() const { return slots[0].bound != 0 || slots[1].bound != 0; }
    };
    // Whether the client has read every key typed on the slot, so it may be bound anew.
    using IsRead = std::function<bool(const Slot &)>;
    // One keyboard map request: key codes from `first` on, two keysyms each.
    struct Run
    {
        int first = 0;
        std::vector<unsigned long> keysyms;
    };

    // The empty key codes of a new layout; the spares still bound stay as they are.
    void setEmpty(const std::vector<int> &keycodes);
    bool isEmpty() const { return m_spares.empty(); }
    bool holdsBindings() const;
    // Whether the key code is one of ours and bound: not the layout's.
    bool isBound(int keycode) const;
    bool isSpare(int keycode) const;
    bool allRead(const IsRead &isRead) const;

    // Binds the keysyms that `needed` (soonest first) lacks, as many as the spares hold. A
    // binding that an earlier keysym keeps, or whose keys are not read yet, stays. Returns the
    // key codes changed.
    std::vector<int> bind(const QList<quint32> &needed, const IsRead &isRead);
    // The spare and level that type the keysym, if bound.
    std::optional<std::pair<Spare *, int>> find(quint32 keysym);
    // Unbinds the key code, whose binding someone else has replaced.
    void forget(int keycode);
    // Unbinds everything; returns the key codes changed.
    std::vector<int> releaseAll();
    // The requests that give the key codes what they are bound to, one per run of neighbours.
    std::vector<Run> runs(std::vector<int> keycodes) const;

    std::vector<Spare> &spares() { return m_spares; }

private:
    Spare *spareOf(int keycode);
    const Spare *spareOf(int keycode) const;

    std::vector<Spare> m_spares; // by key code
};
