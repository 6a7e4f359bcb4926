#include "audio/SoundFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SoundFiles {

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// The file already exists with its owner-only mode, which opening for writing keeps.
SoundFile openCreated(const QByteArray &path, SF_INFO &info, QString &error)
{
    SNDFILE *file = sf_open(path.constData(), SFM_WRITE, &info);
    if (!file) {
        error = QString::fromUtf8(sf_strerror(nullptr));
        ::unlink(path.constData());
    }
    return SoundFile(file);
}

} // namespace

SoundFile openForReading(const QString &path, SF_INFO &info)
{
    info = SF_INFO{};
    // Opened without waiting and checked on the descriptor itself: a FIFO in place of the file
    // would otherwise block here for good, and a device would be read without end.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return nullptr;
    struct stat status
    {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        errno = EINVAL;
        return nullptr;
    }
    return SoundFile(sf_open_fd(fd, SFM_READ, &info, SF_TRUE));
}

SoundFile createOwnerOnly(const QString &path, SF_INFO &info, QString &error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = systemError(errno);
        return nullptr;
    }
    ::close(fd);
    return openCreated(name, info, error);
}

SoundFile createOwnerOnlyBeside(const QString &path, SF_INFO &info, QString &createdPath,
                                QString &error)
{
    QByteArray pattern = QFile::encodeName(path) + ".XXXXXX";
    // mkstemp creates the file 0600.
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        error = systemError(errno);
        return nullptr;
    }
    ::close(fd);
    createdPath = QFile::decodeName(pattern);
    return openCreated(pattern, info, error);
}

QString closeChecked(SoundFile &file)
{
    SNDFILE *raw = file.release();
    if (!raw)
        return {};
    const int code = sf_close(raw);
    return code == 0 ? QString() : QString::fromUtf8(sf_error_number(code));
}

} // namespace SoundFiles
