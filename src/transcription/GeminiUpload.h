#pragma once

#include "transcription/GeminiError.h"
#include "transcription/GeminiExchange.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

// The service's resumable file upload, for audio too large to go inline: the start (with the
// key) is answered with an upload address, the bytes go there, and the answer names the file.
// These make the exchanges and read their answers; the caller sends them in turn.
namespace GeminiUpload {

struct File
{
    QString uri;  // for the request that refers to the file
    QString name; // "files/...", for its delete
};

GeminiExchange::Settings start(const QUrl &uploadStart, const QString &apiKey, qint64 audioBytes,
                               const QString &mimeType);
// The bytes to the address the start was answered with.
GeminiResult<GeminiExchange::Settings> bytes(const QByteArray &uploadUrl, const QByteArray &audio,
                                             const QString &mimeType);
// The file the bytes' answer names; its name may be there without a URI, so that what the service
// holds can still be deleted.
File uploadedFile(const QByteArray &answer);

// Deletes an uploaded file. The exchange belongs to the session, so it outlives its caller; its
// outcome changes nothing but a log line. Null when the name is not the service's own.
GeminiExchange *remove(const QString &name, const QString &apiKey, QNetworkAccessManager *network);

} // namespace GeminiUpload
