#pragma once

#include <QVariantAnimation>
#include <QWidget>
#include <array>

// Five white bars that rise with the microphone level, the middle one tallest.
class LevelMeter : public QWidget
{
    Q_OBJECT
public:
    explicit LevelMeter(QWidget *parent = nullptr);

    // The level to show (0 to 1); the bars ease towards it.
    void setLevel(double level);
    double level() const { return m_target; }

    // The bar heights, left to right, for a level: 4 at silence, 20 at most.
    static std::array<double, 5> barHeights(double level);

    QSize sizeHint() const override { return {27, 22}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_target = 0;
    double m_shown = 0;
    QVariantAnimation m_animation;
};
