#pragma once

#include "transcription/GeminiError.h"

#include <QString>
#include <QUrl>

// The service's addresses. The base is "https://generativelanguage.googleapis.com", or
// VESK_GEMINI_BASE_URL when that is set (read each time an address is made), so that one
// variable moves every endpoint, the live one included, for tests and proxies.
namespace GeminiEndpoints {

QString baseAddress();
// An http(s) address with a host and no fragment.
GeminiResult<QUrl> checkedAddress(const QString &address);

GeminiResult<QUrl> generateContentAddress(const QString &model);
GeminiResult<QUrl> interactionsAddress();
GeminiResult<QUrl> modelsAddress();
GeminiResult<QUrl> uploadStartAddress();
GeminiResult<QUrl> fileAddress(const QString &name); // name as "files/..."
// The Live API's WebSocket under the base, http becoming ws and https wss.
GeminiResult<QUrl> liveAddress();

} // namespace GeminiEndpoints
