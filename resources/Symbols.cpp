#include "Symbols.h"

#include "Resources.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QIconEngine>
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

// Draws a symbol at the size asked for, when it is asked for: a tray or a button needs one or
// two sizes, and rendering all of them ahead took milliseconds of every launch.
class SymbolEngine : public QIconEngine
{
public:
    SymbolEngine(QString name, QColor color) : m_name(std::move(name)), m_color(color) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap pm = scaledPixmap(rect.size(), mode, state, dpr);
        if (!pm.isNull())
            painter->drawPixmap(rect.topLeft(), pm);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        const QPixmap normal =
            Symbols::pixmap(m_name, m_color, qMin(size.width(), size.height()), scale);
        if (mode == QIcon::Normal || mode == QIcon::Active || normal.isNull())
            return normal;
        // Disabled and selected looks come from the application's style, as for any icon.
        return QIcon(normal).pixmap(normal.deviceIndependentSize().toSize(), scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
    }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return {side, side};
    }
    QIconEngine *clone() const override { return new SymbolEngine(m_name, m_color); }
    QString key() const override { return QStringLiteral("vesk-symbol"); }

private:
    QString m_name;
    QColor m_color;
};

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
    return QIcon(new SymbolEngine(name, color));
}

} // namespace Symbols
