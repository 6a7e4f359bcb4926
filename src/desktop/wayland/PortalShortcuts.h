#pragma once

#include "desktop/wayland/PortalRequest.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <optional>

// The hold-to-talk key through the desktop's GlobalShortcuts portal: one session per process (the
// platform loader's), the shortcut bound once (the desktop keeps it, and asks the user for a key
// only the first time) and its press and release reported. The desktop chooses the key with the
// user; the key it assigned is trigger().
class PortalShortcuts : public QObject
{
    Q_OBJECT

public:
    enum class State
    {
        idle,
        // Waiting for the portal; the desktop may be asking the user for a key.
        binding,
        bound,
        // The user declined, or the portal failed; problem() says which.
        failed
    };

    static inline const QString shortcutId = QStringLiteral("hold-to-talk");

    explicit PortalShortcuts(QDBusConnection bus, QObject *parent = nullptr);
    ~PortalShortcuts() override;

    // Whether the bus has a portal with the GlobalShortcuts interface (asked once, then kept).
    bool isAvailable();
    // Opens the session and binds the shortcut unless done already; a failed attempt is retried.
    void open();

    State state() const { return m_state; }
    // The key the desktop assigned, as it describes it ("Ctrl+Alt+Space"); empty when unknown.
    QString trigger() const { return m_trigger; }
    QString problem() const { return m_problem; }
    // The desktop answered the binding but kept no shortcut: asking again changes nothing, so
    // the key has to come another way.
    bool keptNothing() const { return m_keptNothing; }

Q_SIGNALS:
    void pressed();
    void released();
    // The state, the key or the problem changed.
    void changed();

private Q_SLOTS:
    void onActivated(const QDBusMessage &message);
    void onDeactivated(const QDBusMessage &message);
    // (o session, a(sa{sv}) shortcuts), taken whole: the list is no type the slot could name.
    void onShortcutsChanged(const QDBusMessage &message);
    void onSessionClosed(const QVariantMap &details);

private:
    using Answer = std::function<void(uint code, const QVariantMap &results)>;
    // Calls a portal method whose answer comes as the Response of a Request object; `options`
    // is the method's last argument, where the request's token goes.
    void request(const QString &method, QList<QVariant> arguments, QVariantMap options,
                 Answer answer);
    void sessionCreated(uint code, const QVariantMap &results);
    void listed(uint code, const QVariantMap &results);
    void bindShortcut();
    void takeShortcuts(const QVariant &shortcuts);
    void fail(const QString &problem);
    bool isOurs(const QDBusMessage &message) const;
    void setState(State state);

    QDBusConnection m_bus;
    PortalRequest m_requests;
    State m_state = State::idle;
    std::optional<bool> m_available;
    QString m_session;
    QString m_trigger;
    QString m_problem;
    bool m_keptNothing = false;
};
