#pragma once

#include "state/AppState.h"

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>
#include <functional>

class InterimLine;
class LevelMeter;
class RoundButton;
class SymbolButton;
class Spinner;

// The floating button's content, drawn from the app state: a dark capsule holding the
// microphone, the recording row with its level meter, send and cancel buttons, a spinner while
// working, or a warning sign after a failure. The whole capsule drags the window it sits in.
class HUDView : public QWidget
{
    Q_OBJECT
public:
    using Action = std::function<void()>;

    HUDView(AppState *state, Action onToggle, Action onSubmit, Action onCancel,
            QWidget *parent = nullptr);

    bool hovering() const { return m_hovering; }
    // The capsule's fill opacity as last drawn (it eases between its two values).
    double fillOpacity() const { return m_fill; }
    // The capsule's fill opacity for a phase and pointer.
    static double fillOpacity(AppState::Phase phase, bool hovering);

    // The look's parts, for tests and screenshots.
    SymbolButton *mainButton() const { return m_main; }
    QWidget *spinner() const;
    QWidget *recordingRow() const { return m_row; }
    LevelMeter *levelMeter() const { return m_meter; }
    // The words a live session has heard so far, beside the level meter.
    QWidget *interimLine() const;
    QString shownInterimText() const;
    RoundButton *sendButton() const { return m_send; }
    RoundButton *cancelButton() const { return m_cancel; }

Q_SIGNALS:
    // A drag of the capsule began, and the pointer has since travelled by `offset`.
    void dragStarted();
    void dragged(const QPoint &offset);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void setHovering(bool hovering);
    void easeFillTo(double opacity);
    void fadeIn(QWidget *content);
    void placeContent();
    // Shared by the capsule and its buttons: true when the event belonged to a drag.
    bool handleDrag(QEvent *event);

    QPointer<AppState> m_state;
    Action m_onToggle;
    bool m_hovering = false;
    double m_fill = 0;
    QVariantAnimation m_fillAnimation;
    QVariantAnimation m_contentAnimation;
    AppState::Phase m_shownPhase;

    SymbolButton *m_main = nullptr; // the idle and failed looks
    Spinner *m_spinner = nullptr;
    QWidget *m_row = nullptr;
    LevelMeter *m_meter = nullptr;
    InterimLine *m_words = nullptr;
    RoundButton *m_send = nullptr;
    RoundButton *m_cancel = nullptr;

    // A press becomes a drag once the pointer travels the platform's drag distance.
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_pressPoint;
};
