#include "desktop/NewlineMode.h"

#include <QCoreApplication>

namespace NewlineModes {

QList<NewlineMode> all()
{
    return {NewlineMode::shiftReturn, NewlineMode::optionReturn, NewlineMode::plain,
            NewlineMode::space};
}

QString rawValue(NewlineMode mode)
{
    switch (mode) {
    case NewlineMode::shiftReturn:
        return QStringLiteral("shiftReturn");
    case NewlineMode::optionReturn:
        return QStringLiteral("optionReturn");
    case NewlineMode::plain:
        return QStringLiteral("return");
    case NewlineMode::space:
        return QStringLiteral("space");
    }
    return QStringLiteral("shiftReturn");
}

bool isRawValue(const QString &raw)
{
    for (NewlineMode mode : all()) {
        if (rawValue(mode) == raw)
            return true;
    }
    return false;
}

NewlineMode fromRaw(const QString &raw)
{
    for (NewlineMode mode : all()) {
        if (rawValue(mode) == raw)
            return mode;
    }
    return NewlineMode::shiftReturn;
}

QString label(NewlineMode mode)
{
    switch (mode) {
    case NewlineMode::shiftReturn:
        return QCoreApplication::translate("NewlineMode", "Shift + Return (does not send)");
    case NewlineMode::optionReturn:
        // The key a PC keyboard calls Alt.
        return QCoreApplication::translate("NewlineMode", "Alt + Return");
    case NewlineMode::plain:
        return QCoreApplication::translate("NewlineMode", "Return");
    case NewlineMode::space:
        return QCoreApplication::translate("NewlineMode", "A space instead");
    }
    return QString();
}

} // namespace NewlineModes
