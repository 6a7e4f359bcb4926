#include "records/FailedRecordings.h"

#include "records/Config.h"
#include "records/DataFiles.h"
#include "records/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// failed-<yyyyMMdd-HHmmss-zzz>-<8 hex>-<duration in ms>ms-<source, percent-encoded>.wav; sorting
// the names sorts by age. Anything else in the folder (a trimmed copy, a stray file) is not ours.
const QRegularExpression &namePattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        "^failed-\\d{8}-\\d{6}-\\d{3}-[0-9a-f]{8}-(\\d{1,12})ms-([A-Za-z0-9%_-]*)\\.wav$"));
    return pattern;
}

// Copies into a new owner-only file under a temporary name and renames it into place, so that no
// half copy ever carries a recording's name.
bool copyInto(const QString &from, const QString &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QByteArray pattern = QFile::encodeName(to) + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    QFile target;
    bool ok = target.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    char buffer[64 * 1024];
    for (qint64 n = 0; ok && (n = source.read(buffer, sizeof buffer)) != 0;)
        ok = n > 0 && target.write(buffer, n) == n;
    ok = ok && target.flush() && ::fsync(fd) == 0;
    target.close();
    if (ok && std::rename(pattern.constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    ::unlink(pattern.constData());
    return false;
}

} // namespace

FailedRecordings::FailedRecordings()
    : FailedRecordings(Config::directory() + QStringLiteral("/recordings"))
{}

FailedRecordings::FailedRecordings(const QString &folder) : m_folder(QDir(folder).absolutePath()) {}

bool FailedRecordings::contains(const QString &path) const
{
    return QFileInfo(path).absolutePath() == m_folder;
}

QStringList FailedRecordings::names() const
{
    QStringList names;
    // Only the user's own files of this app's names: nothing put here under another's name, and
    // no link to a file elsewhere, is ever sent or deleted.
    const QFileInfoList all = QDir(m_folder).entryInfoList(QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo &file : all) {
        if (namePattern().match(file.fileName()).hasMatch() && file.ownerId() == ::geteuid())
            names.append(file.fileName());
    }
    names.sort();
    return names;
}

std::optional<QString> FailedRecordings::keep(const QString &recording, double duration,
                                              const QString &source, bool copy)
{
    if (contains(recording))
        return QFileInfo::exists(recording) ? std::optional<QString>(recording) : std::nullopt;
    if (!DataFiles::ensureFolder(m_folder))
        return std::nullopt;
    const QString name =
        QStringLiteral("failed-%1-%2-%3ms-%4.wav")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")),
                 QUuid::createUuid().toString(QUuid::Id128).left(8))
            .arg(qRound64(std::max(0.0, duration) * 1000.0))
            .arg(QString::fromLatin1(QUrl::toPercentEncoding(source, {}, ".~")));
    const QString target = m_folder + QLatin1Char('/') + name;
    // The recording is owner-only already, so a rename within one file system keeps it so; from
    // another file system (a memory-backed /tmp) it is copied.
    // A copy within one file system is a second name for the same data, nothing to write; but a
    // second name shares the mode too, so only a file that is owner-only already gets one: the
    // user's own file is never made so behind their back.
    const QByteArray from = QFile::encodeName(recording), to = QFile::encodeName(target);
    struct stat info
    {};
    const bool linked = copy && ::stat(from.constData(), &info) == 0 && (info.st_mode & 077) == 0 &&
                        ::link(from.constData(), to.constData()) == 0;
    bool kept = copy ? linked : std::rename(from.constData(), to.constData()) == 0;
    if (!kept) {
        kept = copyInto(recording, target);
        if (kept && !copy)
            QFile::remove(recording);
    }
    if (!kept)
        return std::nullopt;
    // In the owner-only folder already; the file itself is made so too, whatever it came with.
    if (!linked)
        QFile::setPermissions(target, DataFiles::ownerReadWrite);

    const QStringList all = names();
    for (qsizetype i = 0; i + cap < all.size(); ++i) {
        QFile::remove(m_folder + QLatin1Char('/') + all.at(i));
        Log::write(QStringLiteral("deleted the old failed recording ") + all.at(i) +
                   QStringLiteral(": only the newest %1 are kept").arg(cap));
    }
    return target;
}

std::optional<FailedRecordings::Entry> FailedRecordings::newest() const
{
    const QStringList all = names();
    if (all.isEmpty())
        return std::nullopt;
    const QRegularExpressionMatch match = namePattern().match(all.last());
    return Entry{m_folder + QLatin1Char('/') + all.last(), match.captured(1).toLongLong() / 1000.0,
                 QUrl::fromPercentEncoding(match.captured(2).toLatin1())};
}

void FailedRecordings::remove(const QString &path)
{
    if (contains(path))
        QFile::remove(path);
}
