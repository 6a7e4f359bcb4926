#include "app/QtNoise.h"

#include <QString>
#include <QtGlobal>
#include <cstring>

namespace {

// Each is the beginning of one of Qt's warnings.
constexpr const char *noise[] = {
    // Qt's HTTP reply sets its error once for an error status, then warns when the transfer
    // fails again: a compressed error answer that does not decompress, or one stopped after its
    // first 64 KB (only its message is read).
    "QNetworkReplyImplPrivate::error: Internal problem, this method must only be called once.",
    // Qt's own runtime folder for a session without one, which this program does not use (its
    // socket then lives in the data folder).
    "QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to ",
};

QtMessageHandler previous = nullptr;

void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg &&
        std::strcmp(context.category ? context.category : "", "default") == 0) {
        for (const char *text : noise) {
            if (message.startsWith(QLatin1String(text)))
                return;
        }
    }
    if (previous)
        previous(type, context, message);
}

} // namespace

namespace QtNoise {

void install()
{
    previous = qInstallMessageHandler(filter);
}

} // namespace QtNoise
