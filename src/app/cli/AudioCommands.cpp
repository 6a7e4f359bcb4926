#include "app/cli/CommandLine.h"

#include "audio/AudioRecorder.h"
#include "audio/AudioTrimmer.h"
#include "records/Config.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Cli {

namespace {

// Reads "--name VALUE" out of the arguments as a number; false (with the error printed) when it is
// not one.
bool takeNumber(QStringList &args, const QString &name, std::optional<double> &value, int &code)
{
    const qsizetype at = args.indexOf(name);
    if (at < 0)
        return true;
    if (at + 1 >= args.size()) {
        code = usageError(QStringLiteral("%1 needs a number of seconds").arg(name));
        return false;
    }
    bool ok = false;
    const double number = args.at(at + 1).toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        code = usageError(
            QStringLiteral("%1 needs a number of seconds, not '%2'").arg(name, args.at(at + 1)));
        return false;
    }
    value = number;
    args.remove(at, 2);
    return true;
}

int inputs(const QStringList &args)
{
    if (!args.isEmpty())
        return usageError(QStringLiteral("inputs takes no arguments"));
    // The empty id is what the settings store for the system default.
    out(QLatin1Char('\t') + AudioRecorder::name(QString()));
    for (const AudioRecorder::Input &input : AudioRecorder::inputs())
        out(input.id + QLatin1Char('\t') + input.name);
    return 0;
}

int record(const QStringList &arguments)
{
    QStringList args = arguments;
    std::optional<double> seconds;
    int code = 0;
    if (!takeNumber(args, QStringLiteral("--seconds"), seconds, code))
        return code;
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-')))
        return usageError(QStringLiteral("record needs one FILE and --seconds N"));
    if (!seconds || *seconds <= 0 || *seconds > 24 * 3600)
        return usageError(QStringLiteral("record needs --seconds with a positive number"));
    const QString target = args.first();
    // Never replace what the user already has.
    if (QFile::exists(target)) {
        err(QStringLiteral("vesk-voice: %1 already exists").arg(target));
        return 1;
    }

    AudioRecorder recorder;
    code = 1;
    const auto finished = [&](const std::optional<AudioRecorder::Recording> &recording) {
        if (!recording) {
            err(QStringLiteral("vesk-voice: nothing was recorded"));
        } else if (!QFile::rename(recording->file, target)) {
            err(QStringLiteral("vesk-voice: could not move the recording to %1; it is at %2")
                    .arg(target, recording->file));
        } else {
            out(QStringLiteral("recorded %1s -> %2")
                    .arg(recording->duration, 0, 'f', 2)
                    .arg(target));
            code = 0;
        }
        QCoreApplication::exit();
    };
    recorder.start(settings().inputDeviceID,
                   [&](const std::optional<AudioRecorder::Failure> &failure) {
                       if (failure) {
                           err(QStringLiteral("vesk-voice: ") + failure->errorDescription());
                           QCoreApplication::exit();
                           return;
                       }
                       QTimer::singleShot(int(std::lround(*seconds * 1000)), &recorder,
                                          [&] { recorder.stop(finished); });
                   });
    QCoreApplication::exec();
    return code;
}

// Why the path is no audio file to read, or nothing. The trimmer refuses such files too (on its own
// descriptor); this only gives the user the plain reason.
std::optional<QString> notARegularFile(const QString &path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct stat status
    {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    ::close(fd);
    return regular ? std::nullopt : std::optional<QString>(QStringLiteral("not a regular file"));
}

int trim(const QStringList &arguments)
{
    QStringList args = arguments;
    std::optional<double> keep;
    int code = 0;
    if (!takeNumber(args, QStringLiteral("--keep"), keep, code))
        return code;
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-')))
        return usageError(QStringLiteral("trim needs one FILE"));
    const QString file = args.first();
    if (const auto why = notARegularFile(file)) {
        err(QStringLiteral("vesk-voice: could not read the audio in %1: %2").arg(file, *why));
        return 1;
    }
    const AudioTrimmer::Result result =
        AudioTrimmer::trim(file, keep.value_or(settings().keepSilenceSeconds));
    switch (result.outcome) {
    case AudioTrimmer::Outcome::trimmed:
        out(result.path);
        return 0;
    case AudioTrimmer::Outcome::nothingToCut:
        out(QStringLiteral("nothing to cut: %1 has no pause long enough").arg(file));
        return 0;
    case AudioTrimmer::Outcome::unreadable:
        err(QStringLiteral("vesk-voice: could not read the audio in %1: %2")
                .arg(file, result.error));
        return 1;
    case AudioTrimmer::Outcome::writeFailed:
        break;
    }
    err(QStringLiteral("vesk-voice: could not write the trimmed audio: %1").arg(result.error));
    return 1;
}

} // namespace

QList<Command> audioCommands()
{
    return {
        {QStringLiteral("inputs"), QStringLiteral("inputs"),
         QStringLiteral("list the microphones: id, a tab, name; the system default first"), false,
         inputs},
        {QStringLiteral("record"), QStringLiteral("record FILE --seconds N"),
         QStringLiteral("record the configured microphone for N seconds into FILE (WAVE)"), false,
         record},
        {QStringLiteral("trim"), QStringLiteral("trim FILE [--keep SECONDS]"),
         QStringLiteral("cut long pauses; prints the trimmed copy's path (keep defaults to the "
                        "settings)"),
         false, trim},
    };
}

} // namespace Cli
