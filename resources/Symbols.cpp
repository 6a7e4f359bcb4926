#include "Symbols.h"

#include "Resources.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <memory>

namespace {

// Renderers are kept: a symbol is drawn on every repaint of the floating button.
QSvgRenderer *renderer(const QString &name)
{
    static QHash<QString, std::shared_ptr<QSvgRenderer>> cache;
    if (auto it = cache.constFind(name); it != cache.constEnd())
        return it->get();
    const QString file = Symbols::path(name);
    if (file.isEmpty())
        return nullptr;
    auto r = std::make_shared<QSvgRenderer>(file);
    if (!r->isValid())
        return nullptr;
    cache.insert(name, r);
    return r.get();
}

// The element's place inside `target` when the whole document is fitted into `target`.
QRectF elementTarget(QSvgRenderer *r, const QString &id, const QRectF &target)
{
    const QRectF box = r->viewBoxF();
    QTransform t;
    t.translate(target.x(), target.y());
    t.scale(target.width() / box.width(), target.height() / box.height());
    t.translate(-box.x(), -box.y());
    return t.mapRect(r->boundsOnElement(id));
}

// Draws the symbol's shape in opaque black into `image`. A symbol may carry three layers by id:
// "cut" is erased from "base" (for gaps, such as around a slash), then "over" is drawn on top.
void renderShape(QSvgRenderer *r, QImage &image)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF target(0, 0, image.width(), image.height());
    if (!r->elementExists(QStringLiteral("cut"))) {
        r->render(&p, target);
        return;
    }
    const QString base = QStringLiteral("base");
    const QString cut = QStringLiteral("cut");
    const QString over = QStringLiteral("over");
    r->render(&p, base, elementTarget(r, base, target));
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    r->render(&p, cut, elementTarget(r, cut, target));
    if (r->elementExists(over)) {
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        r->render(&p, over, elementTarget(r, over, target));
    }
}

} // namespace

namespace Symbols {

QStringList names()
{
    Resources::init();
    QStringList result;
    const auto files = QDir(QStringLiteral(":/icons"))
                           .entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        result << file.chopped(4);
    return result;
}

bool exists(const QString &name)
{
    return !path(name).isEmpty();
}

QString path(const QString &name)
{
    Resources::init();
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return {};
    const QString file = QStringLiteral(":/icons/%1.svg").arg(name);
    return QFile::exists(file) ? file : QString();
}

QPixmap pixmap(const QString &name, const QColor &color, int size, qreal devicePixelRatio)
{
    QSvgRenderer *r = renderer(name);
    if (!r || size <= 0)
        return {};
    // A full history draws the same few symbols a thousand times: each is rasterised once.
    const QString key = QStringLiteral("vesk-symbol:%1:%2:%3:%4")
                            .arg(name)
                            .arg(color.rgba(), 8, 16, QLatin1Char('0'))
                            .arg(size)
                            .arg(devicePixelRatio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    renderShape(r, image);
    // Tint: keep the shape's coverage, replace its colour.
    {
        QPainter p(&image);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(image.rect(), color);
    }
    QPixmap result = QPixmap::fromImage(std::move(image));
    result.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(key, result);
    return result;
}

void paint(QPainter *painter, const QString &name, const QRectF &rect, const QColor &color)
{
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const int side = qRound(qMin(rect.width(), rect.height()));
    const QPixmap pm = pixmap(name, color, side, dpr);
    if (pm.isNull())
        return;
    // Whole pixels, so thin strokes stay crisp.
    const QPointF topLeft(qRound(rect.center().x() - side / 2.0),
                          qRound(rect.center().y() - side / 2.0));
    painter->drawPixmap(topLeft, pm);
}

QIcon icon(const QString &name, const QColor &color)
{
    if (!exists(name))
        return {};
    QIcon result;
    for (int size : {16, 22, 24, 32, 48, 64})
        result.addPixmap(pixmap(name, color, size));
    return result;
}

} // namespace Symbols
