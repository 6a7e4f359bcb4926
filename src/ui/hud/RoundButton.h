#pragma once

#include <QAbstractButton>
#include <QColor>
#include <functional>

// A small round icon button: a symbol on a filled disc, 26 x 26.
class RoundButton : public QAbstractButton
{
    Q_OBJECT
public:
    RoundButton(const QString &symbol, const QColor &tint, const QColor &background,
                const QString &help, std::function<void()> action, QWidget *parent = nullptr);

    QString symbol() const { return m_symbol; }
    QColor tint() const { return m_tint; }
    QColor background() const { return m_background; }

    QSize sizeHint() const override { return {26, 26}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    QColor m_tint;
    QColor m_background;
};

// A button that is nothing but its symbol, centred in the button's whole area (the idle and
// failed looks of the floating button).
class SymbolButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit SymbolButton(QWidget *parent = nullptr);

    void setSymbol(const QString &symbol, const QColor &color, double pointSize);
    QString symbol() const { return m_symbol; }
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    QColor m_color;
    double m_size = 15;
};
