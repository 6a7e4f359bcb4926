#include "app/shell/FloatingButton.h"

#include "app/shell/ControllerActions.h"
#include "ui/hud/HUDPanel.h"

FloatingButton::FloatingButton(AppDelegate *controller, WindowPinning &pinning, QObject *parent)
    : QObject(parent), m_controller(controller), m_pinning(pinning)
{
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(300);
    connect(&m_saveTimer, &QTimer::timeout, this, [this] { state()->saveConfig(); });
    connect(m_controller, &AppDelegate::phaseApplied, this, &FloatingButton::applyWidth);
    // The first words of a live session widen the capsule; it stays so until the key comes up.
    connect(state(), &AppState::interimTextChanged, this, &FloatingButton::applyWidth);
}

FloatingButton::~FloatingButton()
{
    delete m_hud;
}

void FloatingButton::setUp(bool visible)
{
    m_setUp = true;
    setVisible(visible);
}

void FloatingButton::setVisible(bool visible)
{
    // Made when first shown: a hidden panel would only hold its window, fonts and pixmaps.
    if (visible && !m_hud && m_setUp) {
        m_hud = new HUDPanel(state(), m_pinning,
                             whileAlive(m_controller, &AppDelegate::toggleRecording),
                             whileAlive(m_controller, &AppDelegate::finishRecording),
                             whileAlive(m_controller, &AppDelegate::cancelRecording));
        m_hud->restorePosition(state()->config());
        connect(m_hud, &HUDPanel::moved, this, &FloatingButton::moved);
        applyWidth();
    }
    if (m_hud)
        m_hud->setVisible(visible);
}

void FloatingButton::moved(const QPoint &topLeft)
{
    Config c = state()->config();
    c.hudX = topLeft.x();
    c.hudY = topLeft.y();
    state()->setConfig(c);
    // A drag moves the panel many times a second: the file is written once it comes to rest.
    m_saveTimer.start();
}

void FloatingButton::flush()
{
    if (m_saveTimer.isActive()) {
        m_saveTimer.stop();
        state()->saveConfig();
    }
}

void FloatingButton::applyWidth()
{
    if (m_hud)
        m_hud->applyWidth(state()->phase(), !state()->interimText().isEmpty());
}
