#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QJsonObject>
#include <QString>
#include <optional>

// File helpers shared by the settings, history and log files.
namespace DataFiles {

constexpr QFileDevice::Permissions ownerReadWrite =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Creates the folder with its parents, the folder itself owner-only (0700): it holds the API key
// and the transcripts. An existing folder of ours that others can enter is tightened to 0700
// (logged); a shared one (sticky, like /tmp) or someone else's is left alone.
bool ensureFolder(const QString &path);

// Which file is at a path and when it last changed: what a record file held when this run last
// read or wrote it, so that a later save can tell whether someone else changed it meanwhile.
struct Stamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 changedNs = 0;
    bool operator==(const Stamp &) const = default;
};

// The stamp of the file at the path (through a link); nothing when there is none.
std::optional<Stamp> stampOf(const QString &path);

struct WriteResult
{
    bool ok = false;
    QString error; // why not, in the system's words
    Stamp stamp;   // of the file written, when ok
    explicit operator bool() const { return ok; }
};

// Replaces the file through a temporary file and a rename, so that a crash mid-write never leaves
// half a file. Every write, the flush to the disk and the close are checked, and the rename happens
// only when all of them succeeded: on a full disk the old file stays exactly as it was and the
// temporary file is removed. The temporary file gets the permissions before any byte is written.
// A link to a file is written through, so that a settings file kept elsewhere stays a link;
// anything but a file (a FIFO, a device), at the path or behind a link, is never replaced.
WriteResult writeAtomically(const QString &path, const QByteArray &bytes,
                            QFileDevice::Permissions permissions);

struct ReadResult
{
    enum class Status
    {
        ok,
        missing,
        unreadable,
    };
    Status status = Status::missing;
    QByteArray bytes;
    QString reason; // why, when unreadable
    Stamp stamp;    // of the file read, when ok
};

// Reads a whole regular file of at most `limit` bytes. A FIFO, device, folder or socket is refused
// without blocking (checked on the opened descriptor, so nothing can be swapped in between), as is
// a link to nothing; a missing file is `missing`.
ReadResult readRegularFile(const QString &path, qint64 limit);

// The top-level JSON object of the bytes, or nothing with `why` saying where it went wrong.
std::optional<QJsonObject> parseObject(const QByteArray &bytes, QString *why);

// Appends to the file, creating it owner-only; a file others can read is made owner-only first.
// Anything but a regular file (or a link) is not written to. A write cut short (a full disk) is
// taken back, so that no half line stays.
bool appendOwnerOnly(const QString &path, const QByteArray &bytes);

// Renames the file (or the link itself) to "<name>.unreadable-yyyyMMdd-HHmmss" (plus a counter
// when taken; an earlier copy is never replaced) and returns the new path, or an empty string when
// it could not be moved.
QString setAside(const QString &path);

// Sets the file aside when something is there but cannot be read within `limit` or does not
// decode, so that a save never destroys what the user or an older run left there, nor writes
// through a link that leads nowhere. An empty file holds nothing to keep and is left to be
// replaced. The new path, or an empty string when nothing was set aside.
QString setAsideIfUnreadable(const QString &path, qint64 limit,
                             bool (*decodes)(const QByteArray &));

} // namespace DataFiles
