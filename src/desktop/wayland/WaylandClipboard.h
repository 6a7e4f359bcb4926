#pragma once

#include "desktop/ClipboardReader.h"
#include "desktop/wayland/WaylandSupport.h"

#include <QHash>
#include <QPointer>
#include <QSocketNotifier>
#include <functional>

struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

// The clipboard and the primary selection through the compositor's data-control protocol, on a
// connection of its own served by the main thread's event loop: read and set without keyboard
// focus, which Qt's clipboard cannot do on Wayland.
class WaylandClipboard : public ClipboardReader
{
public:
    // Null without a compositor offering data control.
    static std::unique_ptr<WaylandClipboard> open();
    ~WaylandClipboard() override;

    void read(QClipboard::Mode mode, QObject *context, Done done) override;
    bool setsClipboard() const override { return true; }
    void set(QClipboard::Mode mode, const QList<Format> &formats) override;
    bool holdsOwn(QClipboard::Mode mode) const override;
    QList<Format> ownContents(QClipboard::Mode mode) const override;
    bool whenAskedFor(QClipboard::Mode mode, QObject *context, std::function<void()> done) override;

    // Listener callbacks.
    void offerIntroduced(zwlr_data_control_offer_v1 *offer);
    void offerType(zwlr_data_control_offer_v1 *offer, const char *mimeType);
    void selectionChanged(int which, zwlr_data_control_offer_v1 *offer);
    void finished();
    void sendRequested(zwlr_data_control_source_v1 *source, const char *mimeType, int fd);
    void cancelled(zwlr_data_control_source_v1 *source);

private:
    WaylandClipboard() = default;
    // Reads and handles what the compositor sent, without waiting.
    void dispatch();
    // Handles everything the compositor sent up to now, waiting for it.
    bool sync() const;
    static int indexOf(QClipboard::Mode mode);

    std::shared_ptr<Wayland::Connection> m_connection;
    zwlr_data_control_manager_v1 *m_manager = nullptr;
    zwlr_data_control_device_v1 *m_device = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    // Offers introduced, with their types.
    QHash<zwlr_data_control_offer_v1 *, QStringList> m_offers;
    // The clipboard's and the primary selection's offers, and our own sources on them.
    zwlr_data_control_offer_v1 *m_current[2] = {nullptr, nullptr};
    zwlr_data_control_source_v1 *m_own[2] = {nullptr, nullptr};
    QHash<zwlr_data_control_source_v1 *, QList<Format>> m_sources;
    // Who waits for a program to ask for our own contents on each, and is told once.
    struct Watch
    {
        QPointer<QObject> context;
        std::function<void()> done;
    };
    Watch m_askedFor[2];
    void tellAsked(int which);
};
