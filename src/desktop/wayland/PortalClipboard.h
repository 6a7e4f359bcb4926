#pragma once

#include "desktop/ClipboardReader.h"

#include <QDBusMessage>
#include <QObject>
#include <QPointer>
#include <QStringList>

class PortalKeyPoster;

// The clipboard through the desktop's Clipboard portal, on the remote desktop session that posts
// the keys (GNOME and KDE without data control): the clipboard is set and read without a window
// of this program's, so Control+V pastes the transcript exactly and the user's contents go back
// afterwards. There is no primary selection here.
class PortalClipboard : public QObject, public ClipboardReader
{
    Q_OBJECT

public:
    explicit PortalClipboard(PortalKeyPoster *poster, QObject *parent = nullptr);

    void read(QClipboard::Mode mode, QObject *context, Done done) override;
    bool setsClipboard() const override { return true; }
    void set(QClipboard::Mode mode, const QList<Format> &formats) override;
    bool holdsOwn(QClipboard::Mode mode) const override;
    QList<Format> ownContents(QClipboard::Mode mode) const override;

private Q_SLOTS:
    // (o session, s mime type, u serial): a client pastes what this session offers.
    void onSelectionTransfer(const QDBusMessage &message);
    // (o session, a{sv} options): someone (maybe this session) took the clipboard.
    void onSelectionOwnerChanged(const QDBusMessage &message);

private:
    bool usable() const;
    void call(const QString &method, const QVariantList &arguments);

    QPointer<PortalKeyPoster> m_poster;
    // What this session offers, while it owns the clipboard.
    QList<Format> m_own;
    bool m_owner = false;
    // The formats the clipboard's owner offers, as the portal last said.
    QStringList m_offered;
};
