#include "desktop/HotkeyMonitor.h"

#include "desktop/HotkeyKindInfo.h"
#include "records/Log.h"

#include <QPointer>
#include <algorithm>
#include <climits>
#include <cmath>

HotkeyMonitor::HotkeyMonitor(QObject *parent) : QObject(parent)
{
    m_pendingStart.setSingleShot(true);
    m_pendingStart.setTimerType(Qt::PreciseTimer);
    // The timer is the monitor's own: it dies with it, so a released monitor never calls back.
    connect(&m_pendingStart, &QTimer::timeout, this, &HotkeyMonitor::thresholdReached);
}

HotkeyMonitor::~HotkeyMonitor() = default;

void HotkeyMonitor::start()
{
    stop();
    const bool trusted = m_trustCheck && m_trustCheck();
    Log::write(QStringLiteral("hotkey monitor starting, kind=") + rawValue(m_kind) +
               QStringLiteral(" accessibility=") +
               (trusted ? QStringLiteral("true") : QStringLiteral("false")));
    if (!m_sourceFactory)
        return;
    // A global source sees this application's windows too, so the local one only stands in for
    // it when the desktop refuses global watching.
    const QPointer<HotkeyMonitor> self(this);
    auto handler = [self](const KeyEvent &event) {
        if (self)
            self->dispatch(event);
    };
    std::unique_ptr<KeyEventSource> global = m_sourceFactory(KeyEventSource::Scope::global);
    if (global && global->install(handler)) {
        m_monitors.push_back(std::move(global));
        // From here on a press counts; one before is only known as a key already down.
        Log::write(QStringLiteral("hotkey monitor watching the whole desktop"));
        return;
    }
    const QString problem = global ? global->problem() : QString();
    Log::write(problem.isEmpty()
                   ? QStringLiteral("global flagsChanged monitor could not be installed")
                   : problem);
    std::unique_ptr<KeyEventSource> local = m_sourceFactory(KeyEventSource::Scope::local);
    if (local && local->install(handler)) {
        m_monitors.push_back(std::move(local));
        Log::write(QStringLiteral("hotkey monitor watching this app's windows only"));
    }
}

void HotkeyMonitor::stop()
{
    m_monitors.clear();
    cancelPendingStart();
    m_heldKind.reset();
    m_recording = false;
}

void HotkeyMonitor::dispatch(const KeyEvent &event)
{
    switch (event.type) {
    case KeyEvent::Type::flagsChanged:
        handleFlags(event);
        break;
    case KeyEvent::Type::holdKeyDown:
        // Whatever the kind: the desktop chose the key. Repeats while held change nothing.
        if (!m_heldKind)
            press();
        break;
    case KeyEvent::Type::holdKeyUp:
        if (m_heldKind)
            release();
        break;
    default:
        handleOtherKey(event);
        break;
    }
}

void HotkeyMonitor::handleFlags(const KeyEvent &event)
{
    if (m_heldKind) {
        // Released, or a modifier that disqualifies the hold was added.
        if (!HotkeyKindInfo::isHeld(*m_heldKind, event.flags))
            release();
        return;
    }
    if (!HotkeyKindInfo::isHeld(m_kind, event.flags))
        return;
    if (m_kind == HotkeyKind::rightCommand && event.keyCode != VirtualKey::rightCommand)
        return;
    press();
}

void HotkeyMonitor::release()
{
    m_heldKind.reset();
    cancelPendingStart();
    if (m_recording) {
        m_recording = false;
        Log::write(QStringLiteral("hotkey released, stopping"));
        call(onStop);
    }
}

void HotkeyMonitor::press()
{
    m_heldKind = m_kind;
    call(onPress);
    // QTimer counts in int milliseconds; a threshold outside that range is clamped.
    double ms = m_holdThreshold * 1000.0;
    if (!(ms > 0.0)) // negative or NaN
        ms = 0.0;
    ms = std::min(ms, double(INT_MAX));
    m_pendingStart.start(int(std::lround(ms)));
}

void HotkeyMonitor::thresholdReached()
{
    if (!m_heldKind || m_recording)
        return;
    m_recording = true;
    Log::write(QStringLiteral("hold reached, starting dictation"));
    call(onStart);
}

void HotkeyMonitor::handleOtherKey(const KeyEvent &event)
{
    if (event.type == KeyEvent::Type::keyDown && event.keyCode == VirtualKey::escape &&
        (m_recording || m_externalRecording)) {
        Log::write(QStringLiteral("escape pressed, cancelling"));
        cancelPendingStart();
        m_heldKind.reset();
        m_recording = false;
        call(onCancel);
        return;
    }
    if (!m_heldKind)
        return;
    // A hold still short of its threshold is abandoned; the key stays held, so its release
    // later passes without a callback.
    cancelPendingStart();
    if (m_recording) {
        Log::write(QStringLiteral("another key pressed while holding, cancelling"));
        m_recording = false;
        call(onCancel);
    }
}

void HotkeyMonitor::call(std::function<void()> callback)
{
    if (callback)
        callback();
}
