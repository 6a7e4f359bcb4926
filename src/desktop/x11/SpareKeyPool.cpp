#include "desktop/x11/SpareKeyPool.h"

#include <QSet>
#include <algorithm>

void SpareKeyPool::setEmpty(const std::vector<int> &keycodes)
{
    std::vector<Spare> next;
    for (const Spare &spare : m_spares) {
        if (spare.holds())
            next.push_back(spare);
    }
    for (const int keycode : keycodes) {
        if (!isBound(keycode))
            next.push_back({keycode, {}});
    }
    std::sort(next.begin(), next.end(),
              [](const Spare &a, const Spare &b) { return a.keycode < b.keycode; });
    m_spares = std::move(next);
}

bool SpareKeyPool::holdsBindings() const
{
    return std::any_of(m_spares.begin(), m_spares.end(), [](const Spare &s) { return s.holds(); });
}

bool SpareKeyPool::isBound(int keycode) const
{
    const Spare *spare = spareOf(keycode);
    return spare && spare->holds();
}

bool SpareKeyPool::isSpare(int keycode) const
{
    return spareOf(keycode) != nullptr;
}

bool SpareKeyPool::allRead(const IsRead &isRead) const
{
    return std::all_of(m_spares.begin(), m_spares.end(), [&isRead](const Spare &s) {
        return isRead(s.slots[0]) && isRead(s.slots[1]);
    });
}

std::vector<int> SpareKeyPool::bind(const QList<quint32> &needed, const IsRead &isRead)
{
    std::vector<int> changed;
    if (needed.isEmpty() || m_spares.empty())
        return changed;
    // The characters wanted soonest stay or get bound; any other binding may go once read.
    const qsizetype capacity = qsizetype(m_spares.size() * 2);
    const QSet<quint32> soon(needed.begin(), needed.begin() + std::min(capacity, needed.size()));
    QSet<quint32> bound;
    for (const Spare &spare : m_spares) {
        for (const Slot &slot : spare.slots)
            bound.insert(slot.bound);
    }
    auto next = needed.cbegin();
    const auto nextMissing = [&] {
        while (next != needed.cend() && bound.contains(*next))
            ++next;
        return next != needed.cend() && soon.contains(*next);
    };
    // First levels first, free ones before those that hold something: Shift costs two events.
    for (int pass = 0; pass < 4 && nextMissing(); ++pass) {
        const int level = pass / 2;
        const bool takeUsed = pass % 2 == 1;
        for (Spare &spare : m_spares) {
            Slot &slot = spare.slots[level];
            if (!nextMissing())
                break;
            // A second level alone would not type: its key needs a first one.
            if (level == 1 && spare.slots[0].bound == 0)
                continue;
            if ((slot.bound != 0) != takeUsed || soon.contains(slot.bound) || !isRead(slot))
                continue;
            slot.bound = *next;
            bound.insert(*next);
            changed.push_back(spare.keycode);
        }
    }
    return changed;
}

std::optional<std::pair<SpareKeyPool::Spare *, int>> SpareKeyPool::find(quint32 keysym)
{
    for (Spare &spare : m_spares) {
        for (int level = 0; level < 2; ++level) {
            if (spare.slots[level].bound == keysym)
                return std::pair(&spare, level);
        }
    }
    return std::nullopt;
}

void SpareKeyPool::forget(int keycode)
{
    if (Spare *spare = spareOf(keycode)) {
        spare->slots[0].bound = 0;
        spare->slots[1].bound = 0;
    }
}

std::vector<int> SpareKeyPool::releaseAll()
{
    std::vector<int> keycodes;
    for (Spare &spare : m_spares) {
        if (!spare.holds())
            continue;
        spare.slots[0].bound = 0;
        spare.slots[1].bound = 0;
        keycodes.push_back(spare.keycode);
    }
    return keycodes;
}

std::vector<SpareKeyPool::Run> SpareKeyPool::runs(std::vector<int> keycodes) const
{
    std::sort(keycodes.begin(), keycodes.end());
    keycodes.erase(std::unique(keycodes.begin(), keycodes.end()), keycodes.end());
    std::erase_if(keycodes, [this](int keycode) { return !isSpare(keycode); });
    std::vector<Run> runs;
    for (const int keycode : keycodes) {
        if (runs.empty() || runs.back().first + int(runs.back().keysyms.size() / 2) != keycode)
            runs.push_back({keycode, {}});
        const Spare &spare = *spareOf(keycode);
        const unsigned long first = spare.slots[0].bound;
        // A first level alone is given for both, or Shift would type its capital.
        const unsigned long second = spare.slots[1].bound ? spare.slots[1].bound : first;
        runs.back().keysyms.push_back(first);
        runs.back().keysyms.push_back(second);
    }
    return runs;
}

SpareKeyPool::Spare *SpareKeyPool::spareOf(int keycode)
{
    const auto it = std::find_if(m_spares.begin(), m_spares.end(),
                                 [keycode](const Spare &s) { return s.keycode == keycode; });
    return it == m_spares.end() ? nullptr : &*it;
}

const SpareKeyPool::Spare *SpareKeyPool::spareOf(int keycode) const
{
    return const_cast<SpareKeyPool *>(this)->spareOf(keycode);
}
