#pragma once

#include <QLabel>
#include <QStringList>
#include <QVariantAnimation>
#include <QWidget>

// The small pieces every page of the first-run guide is made of.

// One capsule per step; the current one is wider, and the steps up to it are in the accent colour.
class ProgressDots : public QWidget
{
    Q_OBJECT
public:
    ProgressDots(int total, QWidget *parent = nullptr);

    int current() const { return m_current; }
    int total() const { return m_total; }
    void setCurrent(int current);
    QSize sizeHint() const override;
    // The dot rectangles as last laid out (tests check widths and colours through them).
    QList<QRectF> dotRects() const;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    int m_total;
    int m_current = 0;
    double m_shown = 0; // the animated position of the wide dot
    QVariantAnimation m_animation;
};

// The symbol in the accent colour beside a bold title and a secondary text.
class StepHeader : public QWidget
{
    Q_OBJECT
public:
    StepHeader(const QString &icon, const QString &title, const QString &text,
               QWidget *parent = nullptr);
    QString title() const { return m_title->text(); }

private:
    QLabel *m_title;
};

// A done or waiting mark and a text.
class StatusLine : public QWidget
{
    Q_OBJECT
public:
    // `callout`: in the smaller callout size, for a line that sits under other text.
    StatusLine(bool done, const QString &text, bool callout = false, QWidget *parent = nullptr);
    bool isDone() const { return m_done; }
    QString text() const { return m_text->text(); }

private:
    bool m_done;
    QLabel *m_text;
};

// "1.", "2.", ... in monospaced digits before each wrapping line.
class NumberedSteps : public QWidget
{
    Q_OBJECT
public:
    explicit NumberedSteps(const QStringList &steps, QWidget *parent = nullptr);
};

namespace GuideStyle {
QColor accent(const QWidget *w);
QColor secondary(const QWidget *w);
// The contrast ratio of two colours (1 to 21), as the WCAG reckons it.
double contrast(const QColor &a, const QColor &b);
// Orange that reads on `background`: a contrast of 4.5:1 at least.
QColor warning(const QColor &background);
// A label with a symbol before the text, in caption size and the warning colour.
QWidget *warningLine(const QString &text, QWidget *parent = nullptr);
QLabel *caption(const QString &text, QWidget *parent = nullptr);
// The callout size: a little smaller than the body text, larger than a caption.
void setCallout(QLabel *label);
} // namespace GuideStyle
