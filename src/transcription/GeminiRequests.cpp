#include "transcription/GeminiRequests.h"

#include "records/DataFiles.h"
#include "transcription/GeminiClient.h"
#include "transcription/GeminiEndpoints.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <cstring>
#include <limits>

namespace {

// Standard Base64 with padding. Each 12-bit half of a 3-byte group maps to its two output
// characters through one table look-up: several times faster than encoding six bits at a time,
// which matters for a ten-minute recording of 19 MB.
void encodeBase64(const QByteArray &bytes, char *out)
{
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    static const auto pairs = [] {
        std::array<std::array<char, 2>, 4096> table{};
        for (int i = 0; i < 4096; ++i)
            table[size_t(i)] = {alphabet[i >> 6], alphabet[i & 63]};
        return table;
    }();

    const auto *in = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype whole = bytes.size() / 3 * 3;
    for (qsizetype at = 0; at < whole; at += 3) {
        const unsigned group = unsigned(in[at]) << 16 | unsigned(in[at + 1]) << 8 | in[at + 2];
        std::memcpy(out, pairs[group >> 12].data(), 2);
        std::memcpy(out + 2, pairs[group & 0xfff].data(), 2);
        out += 4;
    }
    const qsizetype rest = bytes.size() - whole;
    if (rest > 0) {
        const unsigned group =
            unsigned(in[whole]) << 16 | (rest == 2 ? unsigned(in[whole + 1]) << 8 : 0u);
        out[0] = alphabet[group >> 18];
        out[1] = alphabet[(group >> 12) & 63];
        out[2] = rest == 2 ? alphabet[(group >> 6) & 63] : '=';
        out[3] = '=';
    }
}

// The compact JSON of the body with the audio's Base64 as the value of its one "data" member.
// The audio is encoded straight into the final buffer: for a ten-minute recording that is 26 MB
// that would otherwise be copied through a QString and the JSON writer several times.
QByteArray withAudio(const QJsonObject &body, const QByteArray &audio)
{
    const QByteArray json = QJsonDocument(body).toJson(QJsonDocument::Compact);
    // Every other string in the body is JSON-escaped, so an unescaped quote pair around the key
    // can only be the member itself.
    static const QByteArray member = "\"data\":\"\"";
    const qsizetype at = json.indexOf(member);
    Q_ASSERT(at >= 0 && json.indexOf(member, at + 1) < 0);
    const qsizetype split = at + member.size() - 1;

    const qsizetype encodedSize = (audio.size() + 2) / 3 * 4;
    QByteArray out(json.size() + encodedSize, Qt::Uninitialized);
    std::memcpy(out.data(), json.constData(), size_t(split));
    encodeBase64(audio, out.data() + split);
    std::memcpy(out.data() + split + encodedSize, json.constData() + split,
                size_t(json.size() - split));
    return out;
}

QJsonArray toArray(const QStringList &list)
{
    QJsonArray array;
    for (const QString &s : list)
        array.append(s);
    return array;
}

} // namespace

GeminiResult<QByteArray> GeminiRequests::readAudio(const QString &path)
{
    // A FIFO or a device is refused rather than waited on or read without end.
    const DataFiles::ReadResult read =
        DataFiles::readRegularFile(path, std::numeric_limits<int>::max() / 2);
    switch (read.status) {
    case DataFiles::ReadResult::Status::ok:
        return read.bytes;
    case DataFiles::ReadResult::Status::missing:
        return GeminiError::fileRead(path, QStringLiteral("no such file"));
    case DataFiles::ReadResult::Status::unreadable:
        break;
    }
    return GeminiError::fileRead(path, read.reason);
}

GeminiResult<GeminiRequest> GeminiRequests::transcriptionRequest(const GeminiClient &client,
                                                                 const QByteArray &audio,
                                                                 const QString &mimeType)
{
    return GeminiClient::usesInteractions(client.model)
               ? interactionsRequest(client, audio, mimeType)
               : generateContentRequest(client, audio, mimeType);
}

namespace {

// A transcription request whose audio is either inline (an empty "data" member for withAudio to
// fill) or, with a file URI, a reference to an uploaded file.
struct Skeleton
{
    GeminiRequest::Kind kind;
    QUrl address;
    QJsonObject body;
};

GeminiResult<Skeleton> skeleton(const GeminiClient &client, bool interactions,
                                const QString &mimeType, const QString &fileUri)
{
    const bool inlined = fileUri.isEmpty();
    if (!interactions) {
        const GeminiResult<QUrl> url = GeminiEndpoints::generateContentAddress(client.model);
        if (!url.ok())
            return url.error();
        QJsonObject generationConfig{{QStringLiteral("temperature"), 0}};
        if (!client.thinkingLevel.isEmpty())
            generationConfig.insert(
                QStringLiteral("thinkingConfig"),
                QJsonObject{{QStringLiteral("thinkingLevel"), client.thinkingLevel}});
        const QJsonObject media =
            inlined ? QJsonObject{{QStringLiteral("inline_data"),
                                   QJsonObject{{QStringLiteral("mime_type"), mimeType},
                                               {QStringLiteral("data"), QString()}}}}
                    : QJsonObject{{QStringLiteral("file_data"),
                                   QJsonObject{{QStringLiteral("mime_type"), mimeType},
                                               {QStringLiteral("file_uri"), fileUri}}}};
        const QJsonArray parts{QJsonObject{{QStringLiteral("text"), client.fullPrompt()}}, media};
        const QJsonObject content{{QStringLiteral("role"), QStringLiteral("user")},
                                  {QStringLiteral("parts"), parts}};
        return Skeleton{GeminiRequest::Kind::generateContent, url.value(),
                        QJsonObject{{QStringLiteral("contents"), QJsonArray{content}},
                                    {QStringLiteral("generationConfig"), generationConfig}}};
    }

    const GeminiResult<QUrl> url = GeminiEndpoints::interactionsAddress();
    if (!url.ok())
        return url.error();
    QJsonObject transcriptionConfig{{QStringLiteral("mode"), client.transcriptionMode.isEmpty()
                                                                 ? QStringLiteral("verbatim")
                                                                 : client.transcriptionMode}};
    if (!client.languageCodes.isEmpty())
        transcriptionConfig.insert(QStringLiteral("language_codes"), toArray(client.languageCodes));
    if (!client.customVocabulary.isEmpty())
        transcriptionConfig.insert(QStringLiteral("custom_vocabulary"),
                                   toArray(client.customVocabulary));
    const QJsonObject input{
        {QStringLiteral("type"), QStringLiteral("audio")},
        {inlined ? QStringLiteral("data") : QStringLiteral("uri"), inlined ? QString() : fileUri},
        {QStringLiteral("mime_type"), mimeType}};
    return Skeleton{
        GeminiRequest::Kind::interactions, url.value(),
        QJsonObject{{QStringLiteral("model"), client.model},
                    {QStringLiteral("input"), QJsonArray{input}},
                    {QStringLiteral("generation_config"),
                     QJsonObject{{QStringLiteral("transcription_config"), transcriptionConfig}}}}};
}

GeminiResult<GeminiRequest> inlineRequest(const GeminiClient &client, bool interactions,
                                          const QByteArray &audio, const QString &mimeType)
{
    const GeminiResult<Skeleton> s = skeleton(client, interactions, mimeType, QString());
    if (!s.ok())
        return s.error();
    return GeminiRequest{s.value().kind, s.value().address, withAudio(s.value().body, audio)};
}

} // namespace

GeminiResult<GeminiRequest> GeminiRequests::generateContentRequest(const GeminiClient &client,
                                                                   const QByteArray &audio,
                                                                   const QString &mimeType)
{
    return inlineRequest(client, false, audio, mimeType);
}

GeminiResult<GeminiRequest> GeminiRequests::interactionsRequest(const GeminiClient &client,
                                                                const QByteArray &audio,
                                                                const QString &mimeType)
{
    return inlineRequest(client, true, audio, mimeType);
}

GeminiResult<GeminiRequest> GeminiRequests::uploadedFileRequest(const GeminiClient &client,
                                                                const QString &fileUri,
                                                                const QString &mimeType)
{
    const GeminiResult<Skeleton> s =
        skeleton(client, GeminiClient::usesInteractions(client.model), mimeType, fileUri);
    if (!s.ok())
        return s.error();
    return GeminiRequest{s.value().kind, s.value().address,
                         QJsonDocument(s.value().body).toJson(QJsonDocument::Compact)};
}

qint64 GeminiRequests::inlineRequestSize(const GeminiClient &client, qint64 audioBytes)
{
    const GeminiResult<Skeleton> s = skeleton(client, GeminiClient::usesInteractions(client.model),
                                              AudioEncoder::flacType, QString());
    const qint64 rest =
        s.ok() ? QJsonDocument(s.value().body).toJson(QJsonDocument::Compact).size() : 0;
    return rest + (audioBytes + 2) / 3 * 4;
}
