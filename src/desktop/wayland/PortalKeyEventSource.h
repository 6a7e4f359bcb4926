#pragma once

#include "desktop/KeyEventSource.h"

#include <QMetaObject>

class PortalShortcuts;

// The hold key's press and release as the shortcuts portal reports them. The portal sees no
// other key, so a hold is only ended by letting go.
class PortalKeyEventSource : public KeyEventSource
{
public:
    explicit PortalKeyEventSource(PortalShortcuts *portal);
    ~PortalKeyEventSource() override;
    // False when the bus has no such portal; binding may still be under way when it returns true.
    bool install(Handler handler) override;

private:
    PortalShortcuts *m_portal;
    QMetaObject::Connection m_pressed;
    QMetaObject::Connection m_released;
};
