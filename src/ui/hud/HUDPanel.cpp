#include "ui/hud/HUDPanel.h"

#include "ui/hud/HUDView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

HUDPanel::HUDPanel(AppState *state, WindowPinning &pinning, Action onToggle, Action onSubmit,
                   Action onCancel)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      m_pinning(pinning)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    // Qt shows tooltips only over the active window, and this one never becomes active: without
    // this, "Cancel (Esc)" and the failure text would never be seen.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Vesk Voice"));
    m_view =
        new HUDView(state, std::move(onToggle), std::move(onSubmit), std::move(onCancel), this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    resize(narrowWidth, height);
    m_origin = m_reported = pos();
    setFixedHeight(height);
    connect(m_view, &HUDView::dragStarted, this, [this] { m_dragOrigin = screenPosition(); });
    connect(m_view, &HUDView::dragged, this,
            [this](const QPoint &offset) { moveTo(QRect(m_dragOrigin + offset, size())); });
}

QPoint HUDPanel::placement(const QRect &visible, const QSize &size, std::optional<double> x,
                           std::optional<double> y)
{
    const double w = size.width(), h = size.height();
    const double minX = visible.x(), maxX = visible.x() + visible.width();
    const double minY = visible.y(), maxY = visible.y() + visible.height();
    if (x && y) {
        // The lower bound first: on a screen narrower than the panel the far edge wins.
        const double px = std::min(std::max(*x, minX), maxX - w);
        const double py = std::min(std::max(*y, minY), maxY - h);
        return {int(std::lround(px)), int(std::lround(py))};
    }
    return {int(std::lround((minX + maxX) / 2 - w * 0.5)), int(std::lround(maxY - 40 - h))};
}

void HUDPanel::restorePosition(const Config &config)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    moveTo(QRect(placement(screen->availableGeometry(), size(), config.hudX, config.hudY), size()));
    // Placing is not a move the owner needs to hear of.
    m_reported = m_origin;
}

int HUDPanel::targetWidth(AppState::Phase phase, bool words)
{
    if (phase != AppState::Phase::recording)
        return narrowWidth;
    return words ? liveWidth : recordingWidth;
}

bool HUDPanel::applyWidth(AppState::Phase phase, bool words)
{
    const int target = targetWidth(phase, words);
    if (std::abs(width() - target) <= 0.5)
        return false;
    const double midX = m_origin.x() + width() / 2.0;
    setFixedWidth(target);
    moveTo(QRect(int(std::lround(midX - target * 0.5)), m_origin.y(), target, height));
    repaint();
    return true;
}

void HUDPanel::moveTo(const QRect &geometry)
{
    m_origin = geometry.topLeft();
    setGeometry(geometry);
    if (m_reported != m_origin) {
        m_reported = m_origin;
        Q_EMIT moved(m_origin);
    }
}

void HUDPanel::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (!isVisible() || pos() == m_origin)
        return;
    // Not a move of ours: the window manager's, or a stale report. The server knows.
    const QPoint actual = m_pinning.serverPosition(windowHandle()).value_or(pos());
    if (actual != m_origin) {
        m_origin = actual;
        if (m_reported != m_origin) {
            m_reported = m_origin;
            Q_EMIT moved(m_origin);
        }
    }
}

void HUDPanel::showEvent(QShowEvent *event)
{
    m_pinning.pinToAllWorkspaces(windowHandle());
    QWidget::showEvent(event);
}
