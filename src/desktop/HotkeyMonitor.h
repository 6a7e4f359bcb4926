#pragma once

#include "records/HotkeyKind.h"
#include "desktop/KeyEventSource.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Watches the desktop's keyboard for the hold-to-talk key: holding it for holdThreshold seconds
// calls onStart, letting go calls onStop, Escape or another key or click calls onCancel. It never
// records or inserts anything itself. Everything runs on the main thread.
class HotkeyMonitor : public QObject
{
    Q_OBJECT

public:
    using SourceFactory = std::function<std::unique_ptr<KeyEventSource>(KeyEventSource::Scope)>;

    explicit HotkeyMonitor(QObject *parent = nullptr);
    ~HotkeyMonitor() override;

    // Set once by the controller; called on the main thread. The monitor owns nothing they use.
    std::function<void()> onStart;
    std::function<void()> onStop;
    std::function<void()> onCancel;
    // The key went down: a hold may follow (it may yet be too short). Time to ready what a
    // start needs while the hold threshold runs.
    std::function<void()> onPress;

    HotkeyKind kind() const { return m_kind; }
    void setKind(HotkeyKind kind) { m_kind = kind; }
    double holdThreshold() const { return m_holdThreshold; }
    void setHoldThreshold(double seconds) { m_holdThreshold = seconds; }
    // A dictation is running, whoever started it; lets Escape cancel one started without the key.
    bool externalRecording() const { return m_externalRecording; }
    void setExternalRecording(bool on) { m_externalRecording = on; }

    // Restarts watching with the current kind; logs the kind and the accessibility trust.
    void start();
    // Stops watching and forgets any hold, without a callback.
    void stop();

    // Whether start() installed a source (the controller restarts the monitor then on changes).
    bool hasMonitors() const { return !m_monitors.empty(); }
    bool isRecording() const { return m_recording; }
    std::optional<HotkeyKind> heldKind() const { return m_heldKind; }

    // The platform's sources and trust check (from the platform loader), or a test's own.
    void setSourceFactory(SourceFactory factory) { m_sourceFactory = std::move(factory); }
    void setTrustCheck(std::function<bool()> check) { m_trustCheck = std::move(check); }

private:
    void dispatch(const KeyEvent &event);
    void handleFlags(const KeyEvent &event);
    void handleOtherKey(const KeyEvent &event);
    void press();
    void release();
    void thresholdReached();
    void cancelPendingStart() { m_pendingStart.stop(); }
    // By value: a callback may replace itself while it runs.
    static void call(std::function<void()> callback);

    HotkeyKind m_kind = HotkeyKind::controlFn;
    double m_holdThreshold = 0.3;
    std::vector<std::unique_ptr<KeyEventSource>> m_monitors;
    std::optional<HotkeyKind> m_heldKind;
    bool m_recording = false;
    QTimer m_pendingStart;
    bool m_externalRecording = false;
    SourceFactory m_sourceFactory;
    std::function<bool()> m_trustCheck;
};
