#pragma once

#include <QWidget>

class QCheckBox;
class OnboardingView;

// Ticks for the spoken languages; the stored list always follows the table's order.
class LanguagesStep : public QWidget
{
    Q_OBJECT
public:
    explicit LanguagesStep(OnboardingView *guide);
    QList<QCheckBox *> boxes() const { return m_boxes; }

private:
    QList<QCheckBox *> m_boxes;
};
