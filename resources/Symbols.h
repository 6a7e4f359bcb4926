#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// Monochrome symbol icons of our own, looked up by symbol name ("mic", "mic.slash.fill",
// "waveform", ...), drawn in any colour. Files live under ":/icons/<name>.svg".
namespace Symbols {

// Every bundled symbol name, sorted.
QStringList names();
bool exists(const QString &name);
// ":/icons/<name>.svg"; empty when there is no such symbol.
QString path(const QString &name);

// The symbol in `color` (its alpha included), fitted into a square of `size` logical pixels.
// Null for an unknown name.
QPixmap pixmap(const QString &name, const QColor &color, int size, qreal devicePixelRatio = 1);
// Draws the symbol in `color` fitted into `rect`, sharp at the painter's device pixel ratio.
void paint(QPainter *painter, const QString &name, const QRectF &rect, const QColor &color);
// An icon drawn at whatever size is asked for (it lists the usual ones, 16 to 64), e.g. for the
// tray; null for an unknown name.
QIcon icon(const QString &name, const QColor &color);

} // namespace Symbols
