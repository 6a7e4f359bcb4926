#pragma once

#include <QByteArray>
#include <QClipboard>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QMimeData;

// Reads every format one clipboard holds away from the interface's thread, asking the owner for
// each with a short bound, so that a large image or an owner that never answers holds up nothing.
class ClipboardReader
{
public:
    struct Format
    {
        QString mimeType;
        QByteArray data;
    };
    using Done = std::function<void(QList<Format> formats)>;

    // A format that does not answer within this long is left out (and logged).
    static constexpr int perFormatMs = 500;

    virtual ~ClipboardReader() = default;
    // Calls done on context's thread once read, unless context is gone by then; no formats when
    // the clipboard is empty.
    virtual void read(QClipboard::Mode mode, QObject *context, Done done) = 0;

    // Where Qt's clipboard reaches other clients only from a focused window (Wayland), the
    // reader also owns the clipboard itself: offers the formats as this process's, for as long as
    // nobody else takes the clipboard.
    virtual bool setsClipboard() const { return false; }
    virtual void set(QClipboard::Mode mode, const QList<Format> &formats)
    {
        Q_UNUSED(mode);
        Q_UNUSED(formats);
    }
    // Whether the clipboard still holds what set() put there last.
    virtual bool holdsOwn(QClipboard::Mode mode) const
    {
        Q_UNUSED(mode);
        return false;
    }

    // Where the reader sees other programs ask for what it set (Wayland): calls done once a
    // program asks for the contents it holds on `mode` after this call, or once they are no
    // longer its own, unless context is gone by then; on the main thread, at most once. A later
    // call replaces an earlier one's done. False, and done is never called, where it cannot see.
    virtual bool whenAskedFor(QClipboard::Mode mode, QObject *context, std::function<void()> done)
    {
        Q_UNUSED(mode);
        Q_UNUSED(context);
        Q_UNUSED(done);
        return false;
    }

    // What this process itself offers on the clipboard right now; empty when someone else (or
    // nobody) owns it. By default Qt's clipboard.
    virtual QList<Format> ownContents(QClipboard::Mode mode) const;
    // Every format of Qt's clipboard data, its image as PNG where it holds nothing else.
    static QList<Format> formatsOf(const QMimeData *data);

protected:
    // From any thread: hands what was read to done on the main thread, unless target is gone by
    // then, and logs the formats whose owner did not answer in time.
    static void deliver(QPointer<QObject> target, Done done, QList<Format> formats,
                        QStringList skipped);
};

// Where no facility of the display server's is at hand (offscreen, another platform): Qt's own
// clipboard, read on the interface's thread.
class QtClipboardReader : public ClipboardReader
{
public:
    void read(QClipboard::Mode mode, QObject *context, Done done) override;
};
