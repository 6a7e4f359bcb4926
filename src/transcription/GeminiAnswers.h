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
// Models without "models/", sorted.
GeminiResult<QStringList> modelNames(const QByteArray &body);

} // namespace GeminiAnswers
