#pragma once

#include <QList>
#include <QString>

// What a line break inside a typed transcript becomes. Stored in config.json by its raw value.
enum class NewlineMode
{
    shiftReturn,
    optionReturn,
    plain,
    space
};

namespace NewlineModes {

// In picker order.
QList<NewlineMode> all();
// "shiftReturn", "optionReturn", "return" (for plain), "space".
QString rawValue(NewlineMode mode);
// A value that matches no mode gives shiftReturn.
NewlineMode fromRaw(const QString &raw);
bool isRawValue(const QString &raw);
// The label the user reads; translated.
QString label(NewlineMode mode);

} // namespace NewlineModes
