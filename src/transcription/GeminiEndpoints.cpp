#include "transcription/GeminiEndpoints.h"

#include <QRegularExpression>

namespace {

const QString defaultBaseAddress = QStringLiteral("https://generativelanguage.googleapis.com");

// The base without trailing slashes; it may carry a path (a proxy's), not a query.
GeminiResult<QString> checkedBase()
{
    QString base = GeminiEndpoints::baseAddress();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (const GeminiResult<QUrl> url = GeminiEndpoints::checkedAddress(base);
        !url.ok() || url.value().hasQuery())
        return GeminiError::invalidAddress(base);
    return base;
}

GeminiResult<QUrl> address(const QString &pathAndQuery)
{
    const GeminiResult<QString> base = checkedBase();
    if (!base.ok())
        return base.error();
    return GeminiEndpoints::checkedAddress(base.value() + pathAndQuery);
}

// The model name goes into the path as it is stored, so anything that would end the path
// segment, start an escape or break the address is refused before a request exists.
bool usableInPath(const QString &model)
{
    if (model.trimmed().isEmpty())
        return false;
    for (const QChar c : model) {
        if (c.isSpace() || c.category() == QChar::Other_Control ||
            QStringView(u"/?#%\\").contains(c))
            return false;
    }
    return true;
}

} // namespace

QString GeminiEndpoints::baseAddress()
{
    const QString fromEnvironment = qEnvironmentVariable("VESK_GEMINI_BASE_URL");
    return fromEnvironment.isEmpty() ? defaultBaseAddress : fromEnvironment;
}

GeminiResult<QUrl> GeminiEndpoints::checkedAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    const bool http =
        url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    if (!url.isValid() || !http || url.host().isEmpty() || url.hasFragment())
        return GeminiError::invalidAddress(address);
    return url;
}

GeminiResult<QUrl> GeminiEndpoints::generateContentAddress(const QString &model)
{
    if (!usableInPath(model))
        return GeminiError::invalidModel(model);
    const GeminiResult<QString> base = checkedBase();
    if (!base.ok())
        return base.error();
    const GeminiResult<QUrl> url = checkedAddress(base.value() + QStringLiteral("/v1beta/models/") +
                                                  model + QStringLiteral(":generateContent"));
    // The base is sound, so whatever spoils the address comes from the model name.
    if (!url.ok())
        return GeminiError::invalidModel(model);
    return url;
}

GeminiResult<QUrl> GeminiEndpoints::interactionsAddress()
{
    return address(QStringLiteral("/v1beta/interactions"));
}

GeminiResult<QUrl> GeminiEndpoints::modelsAddress()
{
    return address(QStringLiteral("/v1beta/models?pageSize=200"));
}

GeminiResult<QUrl> GeminiEndpoints::uploadStartAddress()
{
    return address(QStringLiteral("/upload/v1beta/files"));
}

GeminiResult<QUrl> GeminiEndpoints::fileAddress(const QString &name)
{
    // Only the service's own "files/<id>" names, so that an answer cannot point the delete
    // anywhere else.
    static const QRegularExpression valid(QStringLiteral("^files/[A-Za-z0-9_-]+$"));
    if (!valid.match(name).hasMatch())
        return GeminiError::badResponse(QStringLiteral("unusable file name \"%1\"").arg(name));
    return address(QStringLiteral("/v1beta/") + name);
}

GeminiResult<QUrl> GeminiEndpoints::liveAddress()
{
    const QString base = baseAddress();
    QUrl url(base +
             QStringLiteral(
                 "/ws/google.ai.generativelanguage.v1beta.GenerativeService.BidiGenerateContent"));
    if (url.scheme() == QLatin1String("https"))
        url.setScheme(QStringLiteral("wss"));
    else if (url.scheme() == QLatin1String("http"))
        url.setScheme(QStringLiteral("ws"));
    else
        return GeminiError::invalidAddress(base);
    if (!url.isValid() || url.host().isEmpty())
        return GeminiError::invalidAddress(base);
    return url;
}
