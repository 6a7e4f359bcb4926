#include "ui/hud/RoundButton.h"

#include "Symbols.h"

#include <QPainter>

RoundButton::RoundButton(const QString &symbol, const QColor &tint, const QColor &background,
                         const QString &help, std::function<void()> action, QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol), m_tint(tint), m_background(background)
{
    setFixedSize(26, 26);
    // The keyboard focus stays with the application being dictated into.
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setToolTip(help);
    if (action)
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

void RoundButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QColor disc = m_background;
    if (isDown())
        disc.setAlphaF(std::min(1.0, disc.alphaF() + 0.15));
    p.setBrush(disc);
    p.drawEllipse(QRectF(rect()));
    // An 11-point bold glyph is about 11 px tall on a 96 dpi screen.
    const double glyph = 11;
    const QRectF box((width() - glyph) / 2, (height() - glyph) / 2, glyph, glyph);
    Symbols::paint(&p, m_symbol, box, m_tint);
}

SymbolButton::SymbolButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void SymbolButton::setSymbol(const QString &symbol, const QColor &color, double pointSize)
{
    m_symbol = symbol;
    m_color = color;
    m_size = pointSize;
    update();
}

void SymbolButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Symbols are drawn a little larger than the font size, as a glyph's box is taller than
    // its cap height.
    const double side = m_size * 1.25;
    const QRectF box((width() - side) / 2, (height() - side) / 2, side, side);
    Symbols::paint(&p, m_symbol, box, m_color);
}
