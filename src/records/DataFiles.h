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

// Replaces the file through a temporary file and a rename, so that a crash mid-write never leaves
// half a file. With permissions given, the temporary file gets them before any byte is written.
bool writeAtomically(const QString &path, const QByteArray &bytes,
                     std::optional<QFileDevice::Permissions> permissions = std::nullopt);

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
};

// Reads a whole regular file of at most `limit` bytes. A FIFO, device, folder or socket is refused
// without blocking (checked on the opened descriptor, so nothing can be swapped in between), as is
// a link to nothing; a missing file is `missing`.
ReadResult readRegularFile(const QString &path, qint64 limit);

// The top-level JSON object of the bytes, or nothing with `why` saying where it went wrong.
std::optional<QJsonObject> parseObject(const QByteArray &bytes, QString *why);

// Appends to the file, creating it owner-only; a file others can read is made owner-only first.
// Anything but a regular file (or a link) is not written to.
bool appendOwnerOnly(const QString &path, const QByteArray &bytes);

// Renames the file (or the link itself) to "<name>.unreadable-yyyyMMdd-HHmmss" (plus a counter
// when taken) and returns the new path, or an empty string when it could not be moved.
QString setAside(const QString &path);

// Sets the file aside when something is there but cannot be read within `limit` or does not
// decode, so that a save never destroys what the user or an older run left there, nor writes
// through a link that leads nowhere.
void setAsideIfUnreadable(const QString &path, qint64 limit, bool (*decodes)(const QByteArray &));

} // namespace DataFiles
