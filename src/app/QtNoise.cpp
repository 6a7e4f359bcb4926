#include "QtNoise.h"

#include <QString>
#include <QtGlobal>
#include <cstring>

namespace {

// Qt's HTTP reply sets its error once for an error status, then warns when the transfer fails
// again: a compressed error answer that does not decompress, or one stopped after its first
// 64 KB (only its message is read).
constexpr const char *noise[] = {
    "QNetworkReplyImplPrivate::error: Internal problem, this method must only be called once.",
};

QtMessageHandler previous = nullptr;

void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg &&
        std::strcmp(context.category ? context.category : "", "default") == 0) {
        for (const char *text : noise) {
            if (message == QLatin1String(text))
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
