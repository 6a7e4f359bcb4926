#pragma once

#include "desktop/KeyPoster.h"
#include "desktop/wayland/PortalRequest.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

// Posts keys through the desktop's RemoteDesktop portal, for compositors without a virtual
// keyboard (KDE, GNOME). One keyboard-only session, opened ahead of the first insertion: the
// desktop asks the user once, and where it can keep the answer the restore token it hands back
// (a new one each start, each good for one start) is stored, so later starts ask nothing.
// Characters go as keysyms, which the compositor types through the user's layout; keys go by
// key position (evdev codes), so Control+V pastes on any layout. The portal handles each call
// on a thread of its own, so a key call goes out only once the one before it was answered:
// otherwise presses and releases overtake each other, and a key or Shift stays down.
class PortalKeyPoster : public QObject, public KeyPoster
{
    Q_OBJECT

public:
    enum class State
    {
        idle,
        // Waiting for the portal; the desktop may be asking the user.
        starting,
        started,
        // Refused or broken; unavailableReason() says which.
        failed
    };

    // Whether the bus's desktop portal has the RemoteDesktop interface, or can be started and
    // may have it. Quick: a portal not yet running is not started for the question.
    static bool isOffered(QDBusConnection bus);
    // The file that keeps the restore token between runs.
    static QString stateFile();

    // `canPaste`: whether the clipboard can be set without the focus (data-control).
    PortalKeyPoster(QDBusConnection bus, bool canPaste, QObject *parent = nullptr);
    ~PortalKeyPoster() override;

    // Opens and starts the session unless under way or done.
    void open();
    State state() const { return m_state; }

    void beginInsertion(const QString &text) override;
    int postText(QString &text) override;
    void postKey(Key key, quint64 flags) override;
    void endInsertion() override;
    QStringList focusedWindowClass() override;
    QString unavailableReason() override;
    bool canPaste() const override { return m_canPaste || m_clipboardEnabled; }
    // Whether the desktop's Clipboard portal serves this session (asked for before the start).
    bool clipboardEnabled() const { return m_clipboardEnabled && m_state == State::started; }
    QString session() const { return m_session; }
    QDBusConnection bus() const { return m_bus; }
    bool whenDelivered(std::function<void()> done) override;
    bool whenReady(std::function<void()> ready) override;

Q_SIGNALS:
    void stateChanged();

private Q_SLOTS:
    void onSessionClosed(const QVariantMap &details);

private:
    struct KeyCall
    {
        bool keysym = false;
        int value = 0;
        bool pressed = false;
        bool operator==(const KeyCall &) const = default;
    };

    void sessionCreated(uint code, const QVariantMap &results);
    void selectDevices();
    void devicesSelected(uint code);
    void started(uint code, const QVariantMap &results);
    void fail(const QString &problem);
    // The portal could not give a keyboard; `detail` says which step failed and how.
    void unavailable(const QString &detail);
    void setState(State state);
    // Stops listening to the session and asks the portal to close it.
    void forgetSession();
    void notify(bool keysym, int value, bool pressed);
    // Sends the next key call unless one is waiting for its answer.
    void sendNext();
    void answered(const KeyCall &call, const QDBusError &error);
    // Drops the keys not yet sent and releases those down, in reverse order.
    void releaseAll();
    QDBusMessage keyMessage(const KeyCall &call) const;
    void delivered();

    QDBusConnection m_bus;
    PortalRequest m_requests;
    bool m_canPaste = false;
    bool m_clipboardEnabled = false;
    State m_state = State::idle;
    QString m_session;
    QString m_problem;
    bool m_notifyFailed = false;
    QQueue<KeyCall> m_keys;
    // A call is out and not yet answered.
    bool m_sending = false;
    QDBusPendingCallWatcher *m_pending = nullptr;
    // The keys pressed and not yet released, oldest first.
    QList<KeyCall> m_down;
    // The desktop refused a key: the rest of the insertion is not sent.
    bool m_broken = false;
    QList<std::function<void()>> m_whenDelivered;
    QList<std::function<void()>> m_whenReady;
};
