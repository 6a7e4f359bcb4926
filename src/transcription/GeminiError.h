#pragma once

#include <QMetaType>
#include <QString>
#include <utility>
#include <variant>

// Why a Gemini request gave no result. description() is the one text the user sees; it is built
// from translatable English texts, while the details from the service or the system are shown as
// they came.
class GeminiError
{
public:
    enum class Kind
    {
        // The service answered, but not with a transcript.
        http,           // status() and message(): any status but 200
        badResponse,    // detail(): the answer could not be read
        noApiKey,       // no key: nothing was read or sent
        emptyResponse,  // the answer held no text
                        // Failures around the service.
        transport,      // detail(): no usable exchange (refused, timed out, dropped, ...)
        invalidJson,    // detail(): a 200 answer that is not JSON
        fileRead,       // detail(): the file; message(): the system's reason
        invalidModel,   // detail(): a model name that cannot be part of a request address
        invalidAddress, // detail(): a request address that is not a usable http(s) address
        invalidApiKey,  // the key holds characters that cannot go into a header
        cancelled,      // the caller stopped the request
    };

    static GeminiError http(int status, const QString &message);
    static GeminiError badResponse(const QString &detail);
    static GeminiError noApiKey() { return GeminiError(Kind::noApiKey); }
    static GeminiError emptyResponse() { return GeminiError(Kind::emptyResponse); }
    static GeminiError transport(const QString &detail);
    static GeminiError timedOut(int seconds);
    static GeminiError invalidJson(const QString &detail);
    static GeminiError fileRead(const QString &path, const QString &reason);
    static GeminiError invalidModel(const QString &model);
    static GeminiError invalidAddress(const QString &address);
    static GeminiError invalidApiKey() { return GeminiError(Kind::invalidApiKey); }
    static GeminiError cancelled() { return GeminiError(Kind::cancelled); }

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }
    const QString &message() const { return m_message; }
    const QString &detail() const { return m_detail; }

    // In the interface language, e.g. "Gemini returned 429: Resource exhausted".
    QString description() const;

    bool operator==(const GeminiError &) const = default;

private:
    explicit GeminiError(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    int m_status = 0;
    QString m_message;
    QString m_detail;
};

// The value of a finished operation or why there is none.
template <typename T> class GeminiResult
{
public:
    GeminiResult(T value) : m_result(std::in_place_index<0>, std::move(value)) {}
    GeminiResult(GeminiError error) : m_result(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_result.index() == 0; }
    const T &value() const { return std::get<0>(m_result); }
    const GeminiError &error() const { return std::get<1>(m_result); }

private:
    std::variant<T, GeminiError> m_result;
};

Q_DECLARE_METATYPE(GeminiError)
