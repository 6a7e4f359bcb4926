#include "onboarding/OnboardingWidgets.h"

#include "Symbols.h"

#include <QEasingCurve>
#include <algorithm>
#include <cmath>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

constexpr int dotHeight = 8;
constexpr int dotWidth = 8;
constexpr int wideDotWidth = 22;
constexpr int dotSpacing = 8;

QLabel *symbolLabel(const QString &name, const QColor &color, int size, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(Symbols::pixmap(name, color, size, parent ? parent->devicePixelRatioF() : 1));
    label->setFixedSize(size, size);
    label->setAlignment(Qt::AlignTop);
    return label;
}

} // namespace

namespace GuideStyle {

QColor accent(const QWidget *w)
{
    return w->palette().color(QPalette::Highlight);
}

QColor secondary(const QWidget *w)
{
    QColor c = w->palette().color(QPalette::WindowText);
    c.setAlphaF(0.6f);
    return c;
}

double contrast(const QColor &a, const QColor &b)
{
    // WCAG's relative luminance of sRGB colours.
    const auto luminance = [](const QColor &c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor warning(const QColor &background)
{
    // The system's orange, darkened on a light background (lightened on a dark one) until it
    // reads as body text does: 4.5:1 at least.
    QColor c(0xff, 0x95, 0x00);
    const bool dark = background.lightnessF() < 0.5;
    for (int step = 0; step < 40 && contrast(c, background) < 4.5; ++step)
        c = dark ? c.lighter(105) : c.darker(108);
    return c;
}

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    QFont f = label->font();
    f.setPointSizeF(f.pointSizeF() * 0.85);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, secondary(label));
    label->setPalette(p);
    return label;
}

void setCallout(QLabel *label)
{
    QFont f = label->font();
    f.setPointSizeF(f.pointSizeF() * 0.92);
    label->setFont(f);
}

QWidget *warningLine(const QString &text, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    const QColor color = warning(row->palette().color(QPalette::Window));
    layout->addWidget(symbolLabel(QStringLiteral("exclamationmark.triangle"), color, 14, row), 0,
                      Qt::AlignTop);
    QLabel *label = caption(text, row);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
    label->setObjectName(QStringLiteral("warningText"));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label, 1);
    return row;
}

} // namespace GuideStyle

ProgressDots::ProgressDots(int total, QWidget *parent) : QWidget(parent), m_total(total)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_animation.setDuration(200);
    m_animation.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_shown = v.toDouble();
        update();
    });
}

void ProgressDots::setCurrent(int current)
{
    current = qBound(0, current, m_total - 1);
    if (current == m_current)
        return;
    m_current = current;
    m_animation.stop();
    m_animation.setStartValue(m_shown);
    m_animation.setEndValue(double(current));
    m_animation.start();
    update();
}

QSize ProgressDots::sizeHint() const
{
    return {(m_total - 1) * (dotWidth + dotSpacing) + wideDotWidth, dotHeight};
}

QList<QRectF> ProgressDots::dotRects() const
{
    QList<QRectF> rects;
    double x = 0;
    for (int i = 0; i < m_total; ++i) {
        // The wide dot slides: each dot's extra width follows its distance to the shown position.
        const double closeness = qMax(0.0, 1.0 - qAbs(m_shown - i));
        const double width = dotWidth + (wideDotWidth - dotWidth) * closeness;
        rects.append(QRectF(x, 0, width, dotHeight));
        x += width + dotSpacing;
    }
    return rects;
}

void ProgressDots::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QColor later = palette().color(QPalette::WindowText);
    later.setAlphaF(0.25f);
    const QList<QRectF> rects = dotRects();
    for (int i = 0; i < rects.size(); ++i) {
        p.setBrush(i <= m_current ? GuideStyle::accent(this) : later);
        p.drawRoundedRect(rects[i], dotHeight / 2.0, dotHeight / 2.0);
    }
}

StepHeader::StepHeader(const QString &icon, const QString &title, const QString &text,
                       QWidget *parent)
    : QWidget(parent), m_title(new QLabel(title))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    layout->addWidget(symbolLabel(icon, GuideStyle::accent(this), 30, this), 0, Qt::AlignTop);

    auto *column = new QVBoxLayout;
    column->setSpacing(4);
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.5);
    m_title->setFont(bold);
    m_title->setWordWrap(true);
    auto *body = new QLabel(text);
    body->setWordWrap(true);
    QPalette p = body->palette();
    p.setColor(QPalette::WindowText, GuideStyle::secondary(this));
    body->setPalette(p);
    column->addWidget(m_title);
    column->addWidget(body);
    layout->addLayout(column, 1);
}

StatusLine::StatusLine(bool done, const QString &text, bool callout, QWidget *parent)
    : QWidget(parent), m_done(done), m_text(new QLabel(text))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    const QColor color = done ? QColor(0x34, 0xc7, 0x59) : GuideStyle::secondary(this);
    layout->addWidget(symbolLabel(done ? QStringLiteral("checkmark.circle.fill")
                                       : QStringLiteral("circle.dotted"),
                                  color, 16, this));
    m_text->setWordWrap(true);
    m_text->setObjectName(QStringLiteral("statusText"));
    if (callout)
        GuideStyle::setCallout(m_text);
    layout->addWidget(m_text, 1);
}

NumberedSteps::NumberedSteps(const QStringList &steps, QWidget *parent) : QWidget(parent)
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(6);
    grid->setHorizontalSpacing(8);
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int i = 0; i < steps.size(); ++i) {
        auto *number = new QLabel(QString::number(i + 1) + QLatin1Char('.'));
        number->setFont(digits);
        QPalette p = number->palette();
        p.setColor(QPalette::WindowText, GuideStyle::secondary(this));
        number->setPalette(p);
        auto *text = new QLabel(steps[i]);
        text->setWordWrap(true);
        grid->addWidget(number, i, 0, Qt::AlignTop);
        grid->addWidget(text, i, 1, Qt::AlignTop);
    }
    grid->setColumnStretch(1, 1);
}
