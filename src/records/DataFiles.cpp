#include "records/DataFiles.h"

#include "records/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace DataFiles {

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Whether anything is at the path, a link that leads nowhere included.
bool entryExists(const QByteArray &name)
{
    struct stat info
    {};
    return ::lstat(name.constData(), &info) == 0;
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

Stamp stampFrom(const struct stat &info)
{
    return {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

mode_t modeOf(QFileDevice::Permissions permissions)
{
    mode_t mode = 0;
    const std::pair<QFileDevice::Permission, mode_t> bits[] = {
        {QFileDevice::ReadOwner, S_IRUSR},  {QFileDevice::WriteOwner, S_IWUSR},
        {QFileDevice::ExeOwner, S_IXUSR},   {QFileDevice::ReadGroup, S_IRGRP},
        {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
        {QFileDevice::ReadOther, S_IROTH},  {QFileDevice::WriteOther, S_IWOTH},
        {QFileDevice::ExeOther, S_IXOTH}};
    for (const auto &[permission, bit] : bits) {
        if (permissions.testFlag(permission))
            mode |= bit;
    }
    return mode;
}

QString sizeText(qint64 bytes)
{
    return bytes >= 1024 * 1024 ? QStringLiteral("%1 MB").arg(bytes / (1024 * 1024))
                                : QStringLiteral("%1 bytes").arg(bytes);
}

} // namespace

bool ensureFolder(const QString &path)
{
    const QString absolute = QDir(path).absolutePath();
    const QByteArray name = QFile::encodeName(absolute);
    struct stat info
    {};
    if (::stat(name.constData(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            return false;
        if ((info.st_mode & 077) != 0 && (info.st_mode & S_ISVTX) == 0 &&
            info.st_uid == ::geteuid() && ::chmod(name.constData(), 0700) == 0)
            Log::write(QStringLiteral("made the data folder owner-only (it was %1): %2")
                           .arg(QString::number(info.st_mode & 0777, 8), absolute));
        return true;
    }
    const QString parent = QFileInfo(absolute).path();
    if (parent != absolute && !QDir().mkpath(parent))
        return false;
    // Made with its final mode: never open to others, not even for a moment.
    return ::mkdir(name.constData(), 0700) == 0 || errno == EEXIST;
}

std::optional<Stamp> stampOf(const QString &path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return stampFrom(info);
}

WriteResult writeAtomically(const QString &path, const QByteArray &bytes,
                            QFileDevice::Permissions permissions)
{
    QString target = path;
    if (const QFileInfo info(path); info.isSymLink() && info.exists())
        target = info.canonicalFilePath();
    const QByteArray name = QFile::encodeName(target);
    QByteArray temporary = name + ".XXXXXX";
    Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return {false, systemError(errno), {}};
    const auto fail = [&](int code) {
        ::unlink(temporary.constData());
        return WriteResult{false, systemError(code), {}};
    };
    if (::fchmod(fd.get(), modeOf(permissions)) != 0)
        return fail(errno);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : EIO);
        done += n;
    }
    // The data must be on the disk before the name points at it; a full disk or a failing device
    // often shows only here.
    struct stat info
    {};
    if (::fsync(fd.get()) != 0 || ::fstat(fd.get(), &info) != 0)
        return fail(errno);
    if (::close(fd.release()) != 0)
        return fail(errno);
    // Only a file is replaced: a rename over a FIFO or a device (behind a link, as root) would
    // swap it for a plain file.
    if (struct stat there{}; ::lstat(name.constData(), &there) == 0 && !S_ISREG(there.st_mode) &&
                             !S_ISLNK(there.st_mode)) {
        ::unlink(temporary.constData());
        return {false, QStringLiteral("it is not a regular file"), {}};
    }
    if (::rename(temporary.constData(), name.constData()) != 0)
        return fail(errno);
    // The rename itself reaches the disk with the folder; a failure here leaves a complete file.
    const Descriptor folder(::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(),
                                   O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get());
    return {true, {}, stampFrom(info)};
}

ReadResult readRegularFile(const QString &path, qint64 limit)
{
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer forever.
    const Descriptor fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == ENOENT)
            return entryExists(name)
                       ? ReadResult{ReadResult::Status::unreadable,
                                    {},
                                    QStringLiteral("it is a link to a file that does not exist")}
                       : ReadResult{};
        return {ReadResult::Status::unreadable, {}, systemError(error)};
    }
    struct stat info
    {};
    if (::fstat(fd.get(), &info) != 0)
        return {ReadResult::Status::unreadable, {}, systemError(errno)};
    if (!S_ISREG(info.st_mode))
        return {ReadResult::Status::unreadable, {}, QStringLiteral("it is not a regular file")};
    const QString tooLarge = QStringLiteral("it is larger than %1").arg(sizeText(limit));
    if (info.st_size > limit)
        return {ReadResult::Status::unreadable, {}, tooLarge};

    // Read up to one byte past the limit: a file that grows meanwhile is still caught.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > limit)
                return {ReadResult::Status::unreadable, {}, tooLarge};
            bytes.resize(std::min<qsizetype>(limit + 1, got * 2 + 4096));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {ReadResult::Status::unreadable, {}, systemError(errno)};
        if (n == 0)
            break;
        got += n;
    }
    if (got > limit)
        return {ReadResult::Status::unreadable, {}, tooLarge};
    bytes.truncate(got);
    return {ReadResult::Status::ok, bytes, {}, stampFrom(info)};
}

std::optional<QJsonObject> parseObject(const QByteArray &bytes, QString *why)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error == QJsonParseError::NoError && doc.isObject())
        return doc.object();
    if (why) {
        if (error.error == QJsonParseError::NoError) {
            *why = QStringLiteral("it is not a JSON object");
        } else {
            const QByteArray before = bytes.left(error.offset);
            const qsizetype line = before.count('\n') + 1;
            const qsizetype column = error.offset - (before.lastIndexOf('\n') + 1) + 1;
            *why = QStringLiteral("%1 at line %2, column %3")
                       .arg(error.errorString())
                       .arg(line)
                       .arg(column);
        }
    }
    return std::nullopt;
}

bool appendOwnerOnly(const QString &path, const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(path);
    // O_NOFOLLOW: a link planted here must not make us create or fill a file elsewhere.
    const Descriptor fd(::open(
        name.constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600));
    struct stat info
    {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if ((info.st_mode & 077) != 0)
        ::fchmod(fd.get(), info.st_mode & 0700);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // Half a line would be followed by the whole of it when it is written again.
            [[maybe_unused]] const int cut = ::ftruncate(fd.get(), info.st_size);
            return false;
        }
        done += n;
    }
    return true;
}

QString setAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QByteArray from = QFile::encodeName(path);
    for (int n = 1; n < 1000; ++n) {
        QString target = path + QStringLiteral(".unreadable-") + stamp;
        if (n > 1)
            target += QLatin1Char('-') + QString::number(n);
        const QByteArray to = QFile::encodeName(target);
        // Moves a link itself, where QFile would look through it; never over an earlier copy,
        // not even one that appeared a moment ago.
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
            0)
            return target;
        if (errno == EEXIST)
            continue;
        // A file system without the flag: a hard link is refused over an existing name too.
        if ((errno == EINVAL || errno == ENOSYS) && ::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return target;
        }
        if (errno != EEXIST)
            return QString();
    }
    return QString();
}

QString setAsideIfUnreadable(const QString &path, qint64 limit, bool (*decodes)(const QByteArray &))
{
    const ReadResult read = readRegularFile(path, limit);
    if (read.status == ReadResult::Status::missing ||
        (read.status == ReadResult::Status::ok && (read.bytes.isEmpty() || decodes(read.bytes))))
        return QString();
    const QString aside = setAside(path);
    Log::write(aside.isEmpty() ? QStringLiteral("could not set aside the unreadable ") + path
                               : QStringLiteral("kept the unreadable %1 as %2").arg(path, aside));
    return aside;
}

} // namespace DataFiles
