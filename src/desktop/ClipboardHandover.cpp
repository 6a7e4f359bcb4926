#include "desktop/ClipboardHandover.h"

#include "desktop/ClipboardKeeper.h"
#include "records/Log.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <unistd.h>

// Where QList's stream operators find them.
QDataStream &operator<<(QDataStream &out, const ClipboardReader::Format &format)
{
    return out << format.mimeType << format.data;
}

QDataStream &operator>>(QDataStream &in, ClipboardReader::Format &format)
{
    return in >> format.mimeType >> format.data;
}

namespace ClipboardHandover {

namespace {

constexpr QClipboard::Mode modes[] = {QClipboard::Clipboard, QClipboard::Selection};
constexpr int takeOverMs = 5000;

bool ownsAny(const ClipboardReader &reader)
{
    for (const QClipboard::Mode mode : modes) {
        if (!reader.ownContents(mode).isEmpty())
            return true;
    }
    return false;
}

} // namespace

bool handOver(ClipboardReader &reader, const QString &program, const QStringList &arguments)
{
    QList<ClipboardReader::Format> contents[2];
    for (int i = 0; i < 2; ++i)
        contents[i] = reader.ownContents(modes[i]);
    if (contents[0].isEmpty() && contents[1].isEmpty())
        return false;
    // Owner-only, like everything the user copied; the server deletes it once read.
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/vesk-clipboard-XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open()) {
        Log::write(QStringLiteral("clipboard not kept after exit: no temporary file"));
        return false;
    }
    QDataStream out(&file);
    out << contents[0] << contents[1];
    file.close();
    QProcess server;
    server.setProgram(program);
    server.setArguments(arguments + QStringList{file.fileName()});
    server.setStandardInputFile(QProcess::nullDevice());
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    if (!server.startDetached()) {
        QFile::remove(file.fileName());
        Log::write(QStringLiteral("clipboard not kept after exit: the server did not start"));
        return false;
    }
    // Ours until the server has taken the selections; whoever asks meanwhile is still answered.
    const QDeadlineTimer deadline(takeOverMs);
    while (ownsAny(reader) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return !ownsAny(reader);
}

int serve(ClipboardReader &reader, const QString &file)
{
    // Out of the terminal's session: closing it must not end the clipboard.
    ::setsid();
    std::signal(SIGHUP, SIG_IGN);
    QList<ClipboardReader::Format> contents[2];
    {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            return 1;
        QDataStream stream(&in);
        stream >> contents[0] >> contents[1];
        in.remove();
        if (stream.status() != QDataStream::Ok)
            return 1;
    }
    for (int i = 0; i < 2; ++i) {
        if (contents[i].isEmpty())
            continue;
        if (reader.setsClipboard())
            reader.set(modes[i], contents[i]);
        else
            QGuiApplication::clipboard()->setMimeData(
                ClipboardKeeper::mimeDataOf(contents[i]).release(), modes[i]);
    }
    // Until another client takes both: asked twice a second, as a change may come from either
    // the display server or Qt.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&reader] {
        if (!ownsAny(reader))
            QCoreApplication::quit();
    });
    poll.start(500);
    return QCoreApplication::exec();
}

} // namespace ClipboardHandover
