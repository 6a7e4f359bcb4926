#pragma once

#include "desktop/ClipboardReader.h"

#include <QClipboard>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QMimeData;

// Keeps what the user had on one clipboard (every format, not only text) while an insertion
// borrows it, and puts it back unless the user copied something new in the meantime.
class ClipboardKeeper
{
public:
    // The reader is the platform's, shared with the other keeper; it outlives this one.
    ClipboardKeeper(QClipboard::Mode mode, ClipboardReader &reader);
    ~ClipboardKeeper();
    ClipboardKeeper(const ClipboardKeeper &) = delete;
    ClipboardKeeper &operator=(const ClipboardKeeper &) = delete;

    // Puts the transcript on the clipboard, first remembering the user's contents, then calls
    // ready. The contents are read off the interface's thread; the event loop runs meanwhile.
    // While the clipboard still holds a transcript of ours, the user's contents remembered
    // before stay the ones to put back.
    void borrow(const QString &transcript, std::function<void()> ready);
    // Puts back what was remembered, when the clipboard still holds our transcript; with nothing
    // remembered the transcript stays.
    void giveBack();
    bool isBorrowed() const { return m_borrowed; }
    // The reader's whenAskedFor() for this clipboard, while it holds the transcript.
    bool whenAskedFor(QObject *context, std::function<void()> done);

    // Mime data of the formats read, or null when there are none.
    static std::unique_ptr<QMimeData> mimeDataOf(const QList<ClipboardReader::Format> &formats);
    // Mime data with the transcript as plain text and the mark that asks clipboard managers not
    // to record it.
    static QMimeData *transcriptData(const QString &transcript);
    // The same as formats, for a reader that sets the clipboard itself.
    static QList<ClipboardReader::Format> transcriptFormats(const QString &transcript);

private:
    QClipboard::Mode m_mode;
    // Whether the clipboard still holds the transcript put there last.
    bool stillOurs() const;
    // Whether the reader sets the clipboard itself (Wayland), bypassing Qt's.
    bool ownsDirectly() const;
    void put(const QString &transcript);

    ClipboardReader &m_reader;
    // Reads that finish after this keeper is gone call nothing.
    QObject m_context;
    std::unique_ptr<QMimeData> m_saved;
    QList<ClipboardReader::Format> m_savedFormats;
    bool m_borrowed = false;
    bool m_changedSince = false;
    const QMimeData *m_ours = nullptr;
    QMetaObject::Connection m_watch;
};
