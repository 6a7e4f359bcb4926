#include "transcription/GeminiUpload.h"

#include "transcription/GeminiEndpoints.h"
#include "records/Log.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QUuid>

GeminiExchange::Settings GeminiUpload::start(const QUrl &uploadStart, const QString &apiKey,
                                             qint64 audioBytes, const QString &mimeType)
{
    const QJsonObject metadata{
        {QStringLiteral("file"),
         QJsonObject{
             {QStringLiteral("display_name"),
              QStringLiteral("dictation-") + QUuid::createUuid().toString(QUuid::WithoutBraces)}}}};
    GeminiExchange::Settings settings{"POST", uploadStart, apiKey,
                                      QJsonDocument(metadata).toJson(QJsonDocument::Compact)};
    settings.headers = {{"X-Goog-Upload-Protocol", "resumable"},
                        {"X-Goog-Upload-Command", "start"},
                        {"X-Goog-Upload-Header-Content-Length", QByteArray::number(audioBytes)},
                        {"X-Goog-Upload-Header-Content-Type", mimeType.toLatin1()}};
    settings.answerHeader = "X-Goog-Upload-URL";
    return settings;
}

GeminiResult<GeminiExchange::Settings>
GeminiUpload::bytes(const QByteArray &uploadUrl, const QByteArray &audio, const QString &mimeType)
{
    const QUrl url(QString::fromUtf8(uploadUrl), QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return GeminiError::badResponse(QCoreApplication::translate(
            "GeminiError", "the upload was not given a usable address"));
    // The upload address carries its own authorisation; the key stays with the service's host.
    GeminiExchange::Settings settings{"POST", url, QString(), audio};
    settings.contentType = mimeType.toLatin1();
    settings.headers = {{"X-Goog-Upload-Command", "upload, finalize"},
                        {"X-Goog-Upload-Offset", "0"}};
    return settings;
}

GeminiUpload::File GeminiUpload::uploadedFile(const QByteArray &answer)
{
    const QJsonObject file =
        QJsonDocument::fromJson(answer).object().value(QLatin1String("file")).toObject();
    return {file.value(QLatin1String("uri")).toString(),
            file.value(QLatin1String("name")).toString()};
}

GeminiExchange *GeminiUpload::remove(const QString &name, const QString &apiKey,
                                     QNetworkAccessManager *network)
{
    const GeminiResult<QUrl> url = GeminiEndpoints::fileAddress(name);
    if (!url.ok())
        return nullptr;
    auto *deleting = new GeminiExchange(
        GeminiExchange::Settings{"DELETE", url.value(), apiKey, {}, 60, {}, {}, {}, {}, network},
        network);
    QObject::connect(deleting, &GeminiExchange::finished, network,
                     [name](const GeminiResult<QByteArray> &result) {
                         if (!result.ok())
                             Log::write(
                                 QStringLiteral("could not delete the uploaded recording %1: %2")
                                     .arg(name, result.error().description()));
                     });
    return deleting;
}
