#include "app/services/DesktopPorts.h"

GlobalHotkey::GlobalHotkey(PlatformLoader &platform)
{
    m_monitor.setSourceFactory([this, &platform](KeyEventSource::Scope scope) {
        return platform.keyEventSource(scope, m_readInputDevices);
    });
    m_monitor.setTrustCheck([&platform] { return platform.trust().trusted; });
}

void GlobalHotkey::setCallbacks(std::function<void()> onStart, std::function<void()> onStop,
                                std::function<void()> onCancel)
{
    m_monitor.onStart = std::move(onStart);
    m_monitor.onStop = std::move(onStop);
    m_monitor.onCancel = std::move(onCancel);
}

// Made at start: a desktop that asks the user's permission to type asks then, not in the middle
// of the first dictation.
DesktopInserter::DesktopInserter(PlatformLoader &platform) : m_injector(platform) {}

void DesktopInserter::setFailureHandler(std::function<void(const QString &)> handler)
{
    QObject::disconnect(m_failure);
    m_failure =
        QObject::connect(&m_injector, &TextInjector::failed, &m_injector, std::move(handler));
}

bool DesktopInserter::canPaste() const
{
    return m_injector.canPaste();
}

void DesktopInserter::insert(const QString &text, const QString &method, const QString &newline,
                             bool spaceBefore)
{
    m_injector.insert(text, method, newline, spaceBefore);
}

DesktopFocus::DesktopFocus(PlatformLoader &platform) : m_windows(platform.activeWindow()) {}

DesktopFocus::~DesktopFocus() = default;

quint64 DesktopFocus::activeWindow() const
{
    return m_windows ? m_windows->current() : 0;
}

quint64 DesktopFocus::previousWindow() const
{
    return m_windows ? m_windows->previous() : 0;
}

void DesktopFocus::activate(quint64 window, std::function<void(bool)> done)
{
    if (m_windows)
        m_windows->activate(window, std::move(done));
    else
        done(false);
}
