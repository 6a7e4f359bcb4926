#include "ui/main/WheelGuard.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QEvent>
#include <QWidget>

void WheelGuard::protect(QWidget *root)
{
    auto *guard = new WheelGuard(root);
    QList<QWidget *> guarded;
    for (QComboBox *box : root->findChildren<QComboBox *>())
        guarded.append(box);
    for (QAbstractSlider *slider : root->findChildren<QAbstractSlider *>()) {
        // The scroll bars of the form's own editors scroll as they always do.
        if (slider->inherits("QScrollBar"))
            continue;
        guarded.append(slider);
    }
    for (QWidget *w : guarded) {
        // Clicks and Tab still give the focus; merely passing over with the wheel does not.
        w->setFocusPolicy(Qt::StrongFocus);
        w->installEventFilter(guard);
    }
}

bool WheelGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel) {
        auto *w = static_cast<QWidget *>(watched);
        if (!w->hasFocus()) {
            // Ignored, the wheel goes on to the parents and so to the scroll area.
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
