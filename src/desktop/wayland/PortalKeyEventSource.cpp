#include "desktop/wayland/PortalKeyEventSource.h"

#include "desktop/wayland/PortalShortcuts.h"

PortalKeyEventSource::PortalKeyEventSource(PortalShortcuts *portal) : m_portal(portal) {}

PortalKeyEventSource::~PortalKeyEventSource()
{
    QObject::disconnect(m_pressed);
    QObject::disconnect(m_released);
}

bool PortalKeyEventSource::install(Handler handler)
{
    if (!m_portal || !m_portal->isAvailable())
        return false;
    m_pressed = QObject::connect(m_portal, &PortalShortcuts::pressed, m_portal, [handler] {
        KeyEvent event;
        event.type = KeyEvent::Type::holdKeyDown;
        handler(event);
    });
    m_released = QObject::connect(m_portal, &PortalShortcuts::released, m_portal, [handler] {
        KeyEvent event;
        event.type = KeyEvent::Type::holdKeyUp;
        handler(event);
    });
    m_portal->open();
    return true;
}
