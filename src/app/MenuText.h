#pragma once

#include "state/AppState.h"

#include <QColor>
#include <QString>
#include <QStringList>

// The texts and symbols of the tray menu, apart from the menu itself so they can be checked alone.
namespace MenuText {

// Splits at spaces into lines of at most `width` characters; a longer word stays whole.
QStringList wrapped(const QString &text, int width = 60);
// The transcript itself up to 48 characters, else its first 48 and "...".
QString copyPreview(const QString &text);
// The first, disabled line of the menu.
QString statusLine(AppState::Phase phase, bool accessibilityGranted, const QString &hotkeyLabel);
// The tray symbol and its tint (invalid colour: the panel's own).
QString symbol(AppState::Phase phase, bool accessibilityGranted);
QColor tint(AppState::Phase phase);
// "Vesk Voice 0.1.0 (1)".
QString versionLabel();

} // namespace MenuText
