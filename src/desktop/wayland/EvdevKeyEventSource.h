#pragma once

#include "desktop/InputDeviceAccess.h"
#include "desktop/KeyEventSource.h"
#include "desktop/KeyTranslator.h"

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QList>
#include <QSocketNotifier>
#include <QString>
#include <memory>
#include <vector>

// The keyboards' own events, read from /dev/input for a user who allows it and may read the
// devices (the `input` group): the one way to see a bare Right Ctrl on a Wayland desktop that
// offers no shortcut service. Keys are named by their position on a PC keyboard.
class EvdevKeyEventSource : public KeyEventSource
{
public:
    explicit EvdevKeyEventSource(QString directory = QStringLiteral("/dev/input"));
    // Reads `struct input_event` records from descriptors already open (recorded events, in
    // tests) instead of the devices; takes them over.
    explicit EvdevKeyEventSource(const QList<int> &descriptors);
    ~EvdevKeyEventSource() override;
    // Opens every keyboard the user can read; false when there is none.
    bool install(Handler handler) override;

    static KeyTranslator::Role roleForCode(unsigned code);

    using Access = InputDeviceAccess;
    static Access check(const QString &directory = QStringLiteral("/dev/input"));

private:
    struct Device
    {
        int fd = -1;
        // The /dev/input node, so that a rescan skips it; empty for a descriptor handed in.
        QString node;
        QString name;
        QByteArray pending;
        std::unique_ptr<QSocketNotifier> notifier;
    };
    void scan();
    void add(int fd, const QString &node, const QString &name);
    void drain(Device *device);
    void handle(Device *device, unsigned short type, unsigned short code, int value);
    void reseed(Device *device);
    void drop(Device *device);

    QString m_directory;
    QList<int> m_given;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
    std::vector<std::unique_ptr<Device>> m_devices;
    KeyTranslator m_translator;
    Handler m_handler;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
