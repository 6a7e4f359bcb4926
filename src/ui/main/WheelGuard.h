#pragma once

#include <QObject>

class QWidget;

// Keeps a scrolling form's choices from changing under a wheel that only meant to scroll: combo
// boxes and sliders below `root` take the wheel only once the user has given them the focus;
// until then the wheel scrolls the form around them.
class WheelGuard : public QObject
{
    Q_OBJECT
public:
    // Guards every combo box and slider below `root` (existing ones; call after building).
    static void protect(QWidget *root);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};
