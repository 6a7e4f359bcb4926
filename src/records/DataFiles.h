#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <optional>

// File helpers shared by the settings, history and log files.
namespace DataFiles {

// Creates the folder with its parents. A folder this program creates is owner-only (0700):
// it holds the API key and the transcripts.
bool ensureFolder(const QString &path);

// Replaces the file through a temporary file and a rename, so that a crash mid-write never leaves
// half a file. With permissions given, the temporary file gets them before any byte is written.
bool writeAtomically(const QString &path, const QByteArray &bytes,
                     std::optional<QFileDevice::Permissions> permissions = std::nullopt);

// Renames the file to "<name>.unreadable-yyyyMMdd-HHmmss" (plus a counter when taken) and returns
// the new path, or an empty string when it could not be moved.
QString setAside(const QString &path);

// Sets the file aside when it exists but cannot be read or does not decode, so that a save never
// destroys what the user or an older run left there.
void setAsideIfUnreadable(const QString &path, bool (*decodes)(const QByteArray &));

} // namespace DataFiles
