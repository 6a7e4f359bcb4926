#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>
#include <QUrl>

// The files bundled into the program: interface sounds and the app icon. Symbol icons are in
// Symbols.h.
namespace Resources {

// Registers the bundled files with Qt's resource system. Idempotent; every helper here and in
// Symbols calls it, so only code that opens ":/..." paths directly needs to call it first.
void init();

// The four interface sounds: "Tink", "Pop", "Funk", "Basso".
QStringList soundNames();
// ":/sounds/<name>.wav"; empty for a name that is not bundled.
QString soundPath(const QString &name);
// "qrc:/sounds/<name>.wav", for QSoundEffect::setSource; empty for a name that is not bundled.
QUrl soundUrl(const QString &name);

// ":/app/vesk-voice.svg", a microphone in a rounded square, in colour.
QString appIconPath();
QIcon appIcon();

} // namespace Resources
