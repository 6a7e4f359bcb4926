#include "app/shell/PermissionWatch.h"

#include "records/Log.h"

PermissionWatch::PermissionWatch(AppDelegate *controller, PlatformLoader &platform,
                                 TrustCheck trustCheck, QObject *parent)
    : QObject(parent), m_controller(controller), m_platform(platform),
      m_trustCheck(std::move(trustCheck))
{
    m_timer.setInterval(2000);
    connect(&m_timer, &QTimer::timeout, this, &PermissionWatch::poll);
    // The desktop answers later (and may ask the user for a key first).
    connect(&m_platform, &PlatformLoader::holdKeyChanged, this,
            &PermissionWatch::refreshHoldKeyAdvice);
}

void PermissionWatch::permissionResult(bool granted)
{
    Log::write(QStringLiteral("microphone permission granted=%1")
                   .arg(granted ? QStringLiteral("true") : QStringLiteral("false")));
    if (!granted) {
        state()->setMessage(tr("Microphone access denied. Enable it in System Settings > Privacy & "
                               "Security > Microphone."));
        m_controller->setPhase(AppState::Phase::failed);
    }
}

void PermissionWatch::checkAccessibility(bool prompt)
{
    // X11 has no permission dialog to raise: `prompt` has nothing to ask for.
    Q_UNUSED(prompt);
    const Trust trust = m_trustCheck();
    state()->setAccessibilityGranted(trust.trusted);
    Log::write(QStringLiteral("accessibility granted=%1")
                   .arg(trust.trusted ? QStringLiteral("true") : QStringLiteral("false")));
    if (trust.trusted) {
        m_controller->hotkey().start();
        m_timer.stop();
        return;
    }
    // On Wayland the key comes from the desktop (a portal, the keyboard devices or its bindings),
    // whatever the X11 side says.
    if (wayland() && !m_controller->hotkey().isInstalled())
        m_controller->hotkey().start();
    state()->setMessage(trust.reason.isEmpty()
                            ? tr("Waiting for Accessibility permission. Add Vesk Voice in System "
                                 "Settings > Privacy & Security > Accessibility.")
                            : trust.reason);
    if (!m_timer.isActive())
        m_timer.start();
}

void PermissionWatch::poll()
{
    if (!m_trustCheck().trusted)
        return;
    Log::write(QStringLiteral("accessibility granted while waiting"));
    state()->setAccessibilityGranted(true);
    state()->setMessage(QString());
    m_controller->hotkey().start();
    m_timer.stop();
}

void PermissionWatch::refreshHoldKeyAdvice()
{
    if (!wayland())
        return;
    state()->setHoldKeyAdvice(m_platform.holdKeyAdvice(state()->config().readInputDevices));
}
