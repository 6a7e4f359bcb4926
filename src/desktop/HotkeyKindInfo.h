#pragma once

#include "records/HotkeyKind.h"

#include <QList>
#include <QString>

// What each hotkey kind means on a PC keyboard: its label and when it counts as held.
namespace HotkeyKindInfo {

// In picker order.
QList<HotkeyKind> all();
// The label the user reads: the keys as a PC keyboard names them.
QString label(HotkeyKind kind);
// The same within a sentence ("Hold %1 to talk"), where Russian and Uzbek write key names in
// lower case.
QString inText(HotkeyKind kind);
// Whether the modifier flags hold the kind: its flags all present, none of its excluded ones.
bool isHeld(HotkeyKind kind, quint64 flags);

} // namespace HotkeyKindInfo
