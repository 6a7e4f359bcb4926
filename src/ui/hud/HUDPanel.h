#pragma once

#include "state/AppState.h"
#include "records/Config.h"
#include "desktop/WindowPinning.h"

#include <QRect>
#include <QWidget>
#include <functional>
#include <optional>

class HUDView;

// The floating record button's window: borderless, translucent, above other windows, on every
// workspace, and never given the keyboard focus, so that the text cursor stays where the user
// is dictating. It moves when dragged and tells about every move, so the position can be kept.
class HUDPanel : public QWidget
{
    Q_OBJECT
public:
    using Action = std::function<void()>;

    static constexpr int height = 44;
    static constexpr int narrowWidth = 48;
    static constexpr int recordingWidth = 178;
    // Recording with the words of a live session beside the meter.
    static constexpr int liveWidth = 340;

    // The pinning is the platform's and outlives the panel.
    HUDPanel(AppState *state, WindowPinning &pinning, Action onToggle, Action onSubmit,
             Action onCancel);

    // Places the panel at the stored position, pulled inside the primary screen's available
    // area, or centred 40 px above its bottom when no position is stored. Keeps the size.
    void restorePosition(const Config &config);
    // The top-left corner restorePosition chooses for a panel of `size` on `visible`.
    static QPoint placement(const QRect &visible, const QSize &size, std::optional<double> x,
                            std::optional<double> y);

    // Widens the panel for a recording and narrows it after, about its centre. Returns whether
    // the size changed (a width within half a pixel of the target is left alone).
    bool applyWidth(AppState::Phase phase, bool words = false);
    static int targetWidth(AppState::Phase phase, bool words = false);

    HUDView *view() const { return m_view; }
    // The top-left corner on the screen.
    QPoint screenPosition() const { return m_origin; }

Q_SIGNALS:
    // The panel's top-left corner changed: by dragging, by a width change, by placing.
    void moved(const QPoint &topLeft);

protected:
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void moveTo(const QRect &geometry);

    HUDView *m_view;
    // Where the panel is, as far as this program moved it or the display server says; Qt's
    // own idea can lag behind a window manager that reparents a new window into a frame and
    // moves the frame only after.
    WindowPinning &m_pinning;
    QPoint m_origin;
    QPoint m_reported;
    QPoint m_dragOrigin;
};
