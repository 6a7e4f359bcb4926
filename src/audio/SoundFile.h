#pragma once

#include <QString>
#include <memory>
#include <sndfile.h>

// libsndfile handles close themselves; a close whose result matters goes through closeChecked().
struct SoundFileCloser
{
    void operator()(SNDFILE *file) const
    {
        if (file)
            sf_close(file);
    }
};
using SoundFile = std::unique_ptr<SNDFILE, SoundFileCloser>;

namespace SoundFiles {

SoundFile openForReading(const QString &path, SF_INFO &info);

// Creates `path`, which must not exist yet, owner-only (0600: the temporary folder is shared with
// other users) and opens it for writing in the format of `info`. On failure returns null and sets
// `error` to a readable description; a file created before the failure is removed again.
SoundFile createOwnerOnly(const QString &path, SF_INFO &info, QString &error);

// Creates a new owner-only file beside `path` with a unique name (for writing and renaming into
// place) and opens it like createOwnerOnly(). `createdPath` receives its name.
SoundFile createOwnerOnlyBeside(const QString &path, SF_INFO &info, QString &createdPath,
                                QString &error);

// Closes the file and returns an empty string, or the description of what went wrong.
QString closeChecked(SoundFile &file);

} // namespace SoundFiles
