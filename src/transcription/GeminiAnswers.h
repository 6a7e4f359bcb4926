#pragma once

#include "transcription/GeminiError.h"
#include "transcription/GeminiRequests.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the service's answers say. Pure; any thread.
namespace GeminiAnswers {

// The service's "error.message", else the body as text, else "unknown error".
QString errorMessage(const QByteArray &body);
GeminiResult<QString> generatedText(const QByteArray &body);
GeminiResult<QString> interactionText(const QByteArray &body);
// The transcript of the answer to a request of this kind.
GeminiResult<QString> transcript(GeminiRequest::Kind kind, const QByteArray &body);
struct ModelListing
{
    QStringList names; // without "models/", sorted
    // Those of names whose entries offer the Live API's bidiGenerateContent without
    // generateContent, so that only a live session can use them.
    QStringList streamingOnly;
    // A live model: its name says so, or it streams only.
    bool live(const QString &name) const;
    bool operator==(const ModelListing &) const = default;
};
GeminiResult<ModelListing> modelListing(const QByteArray &body);
// modelListing()'s names.
GeminiResult<QStringList> modelNames(const QByteArray &body);

} // namespace GeminiAnswers
