#include "ui/hud/LevelMeter.h"

#include <QPainter>
#include <algorithm>

namespace {
constexpr std::array<double, 5> weights{0.45, 0.75, 1.0, 0.75, 0.45};
constexpr double barWidth = 3;
constexpr double barGap = 3;
} // namespace

LevelMeter::LevelMeter(QWidget *parent) : QWidget(parent)
{
    setFixedSize(27, 22);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_animation.setDuration(80);
    m_animation.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_shown = value.toDouble();
        update();
    });
}

void LevelMeter::setLevel(double level)
{
    if (level == m_target)
        return;
    m_target = level;
    m_animation.stop();
    m_animation.setStartValue(m_shown);
    m_animation.setEndValue(level);
    m_animation.start();
}

std::array<double, 5> LevelMeter::barHeights(double level)
{
    std::array<double, 5> heights{};
    for (size_t i = 0; i < heights.size(); ++i)
        heights[i] = 4 + 16 * std::min(1.0, std::max(0.0, level) * weights[i] * 1.4);
    return heights;
}

void LevelMeter::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(1, 1, 1, 0.9));
    const auto heights = barHeights(m_shown);
    const double total = heights.size() * barWidth + (heights.size() - 1) * barGap;
    double x = (width() - total) / 2;
    for (double h : heights) {
        const QRectF bar(x, (height() - h) / 2, barWidth, h);
        p.drawRoundedRect(bar, barWidth / 2, barWidth / 2);
        x += barWidth + barGap;
    }
}
