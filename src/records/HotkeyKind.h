#pragma once

#include <QString>
#include <optional>

// Which key starts a dictation. Stored in config.json by its raw value.
enum class HotkeyKind
{
    control,
    controlFn,
    fn,
    rightCommand
};

QString rawValue(HotkeyKind kind);
std::optional<HotkeyKind> hotkeyKindFromRaw(const QString &raw);
