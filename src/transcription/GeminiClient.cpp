#include "transcription/GeminiClient.h"

#include "records/Config.h"
#include "records/DataFiles.h"
#include "transcription/GeminiExchange.h"
#include "transcription/LiveSession.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>
#include <array>
#include <cstring>
#include <limits>

namespace {

const QString defaultBaseAddress = QStringLiteral("https://generativelanguage.googleapis.com");
constexpr int listingTimeoutSeconds = 60;

// An http(s) address with a host and no fragment.
GeminiResult<QUrl> checkedAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    const bool http =
        url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    if (!url.isValid() || !http || url.host().isEmpty() || url.hasFragment())
        return GeminiError::invalidAddress(address);
    return url;
}

// The base without trailing slashes; it may carry a path (a proxy's), not a query.
GeminiResult<QString> checkedBase()
{
    QString base = GeminiClient::baseAddress();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (const GeminiResult<QUrl> url = checkedAddress(base); !url.ok() || url.value().hasQuery())
        return GeminiError::invalidAddress(base);
    return base;
}

GeminiResult<QUrl> address(const QString &pathAndQuery)
{
    const GeminiResult<QString> base = checkedBase();
    if (!base.ok())
        return base.error();
    return checkedAddress(base.value() + pathAndQuery);
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

// Delivers the exchange's outcome, read by read, to done on context's thread.
template <typename T, typename Read>
GeminiExchange *deliver(GeminiExchange *exchange, QObject *context,
                        std::function<void(const GeminiResult<T> &)> done, Read read)
{
    QObject *receiver = context ? context : exchange;
    if (context && context->thread() == exchange->thread())
        exchange->setParent(context);
    else if (context)
        QObject::connect(context, &QObject::destroyed, exchange, &GeminiExchange::cancel);
    QObject::connect(exchange, &GeminiExchange::finished, receiver,
                     [done = std::move(done), read](const GeminiResult<QByteArray> &result) {
                         if (result.ok())
                             done(read(result.value()));
                         else
                             done(result.error());
                     });
    return exchange;
}

} // namespace

GeminiClient GeminiClient::from(const Config &config)
{
    return GeminiClient{config.resolvedApiKey(),
                        config.model,
                        config.prompt,
                        config.thinkingLevel,
                        config.transcriptionMode,
                        config.languageCodes,
                        config.customVocabulary,
                        config.audioFormat};
}

QString GeminiClient::baseAddress()
{
    const QString fromEnvironment = qEnvironmentVariable("VESK_GEMINI_BASE_URL");
    return fromEnvironment.isEmpty() ? defaultBaseAddress : fromEnvironment;
}

GeminiResult<QUrl> GeminiClient::generateContentAddress(const QString &model)
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

GeminiResult<QUrl> GeminiClient::interactionsAddress()
{
    return address(QStringLiteral("/v1beta/interactions"));
}

GeminiResult<QUrl> GeminiClient::modelsAddress()
{
    return address(QStringLiteral("/v1beta/models?pageSize=200"));
}

GeminiResult<QByteArray> GeminiClient::readAudio(const QString &path)
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

bool GeminiClient::usesInteractions(const QString &model)
{
    // A live model answers only on the Live API, never to an interactions request.
    return model.contains(QLatin1String("transcribe"), Qt::CaseSensitive) &&
           !LiveSession::isLive(model);
}

GeminiResult<GeminiRequest> GeminiClient::transcriptionRequest(const QByteArray &audio,
                                                               const QString &mimeType) const
{
    return usesInteractions(model) ? interactionsRequest(audio, mimeType)
                                   : generateContentRequest(audio, mimeType);
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
        const GeminiResult<QUrl> url = GeminiClient::generateContentAddress(client.model);
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

    const GeminiResult<QUrl> url = GeminiClient::interactionsAddress();
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

GeminiResult<GeminiRequest> GeminiClient::generateContentRequest(const QByteArray &audio,
                                                                 const QString &mimeType) const
{
    return inlineRequest(*this, false, audio, mimeType);
}

GeminiResult<GeminiRequest> GeminiClient::interactionsRequest(const QByteArray &audio,
                                                              const QString &mimeType) const
{
    return inlineRequest(*this, true, audio, mimeType);
}

GeminiResult<GeminiRequest> GeminiClient::uploadedFileRequest(const QString &fileUri,
                                                              const QString &mimeType) const
{
    const GeminiResult<Skeleton> s = skeleton(*this, usesInteractions(model), mimeType, fileUri);
    if (!s.ok())
        return s.error();
    return GeminiRequest{s.value().kind, s.value().address,
                         QJsonDocument(s.value().body).toJson(QJsonDocument::Compact)};
}

qint64 GeminiClient::inlineRequestSize(qint64 audioBytes) const
{
    const GeminiResult<Skeleton> s = skeleton(*this, usesInteractions(model), flacType, QString());
    const qint64 rest =
        s.ok() ? QJsonDocument(s.value().body).toJson(QJsonDocument::Compact).size() : 0;
    return rest + (audioBytes + 2) / 3 * 4;
}

GeminiResult<QUrl> GeminiClient::uploadStartAddress()
{
    return address(QStringLiteral("/upload/v1beta/files"));
}

GeminiResult<QUrl> GeminiClient::fileAddress(const QString &name)
{
    // Only the service's own "files/<id>" names, so that an answer cannot point the delete
    // anywhere else.
    static const QRegularExpression valid(QStringLiteral("^files/[A-Za-z0-9_-]+$"));
    if (!valid.match(name).hasMatch())
        return GeminiError::badResponse(QStringLiteral("unusable file name \"%1\"").arg(name));
    return address(QStringLiteral("/v1beta/") + name);
}

GeminiExchange *GeminiClient::viaGenerateContent(const QByteArray &audio, QObject *context,
                                                 TextCallback done) const
{
    return send(generateContentRequest(audio), apiKey, context, std::move(done));
}

GeminiExchange *GeminiClient::viaInteractions(const QByteArray &audio, QObject *context,
                                              TextCallback done) const
{
    return send(interactionsRequest(audio), apiKey, context, std::move(done));
}

GeminiExchange *GeminiClient::send(const GeminiResult<GeminiRequest> &request,
                                   const QString &apiKey, QObject *context, TextCallback done)
{
    GeminiExchange *exchange = nullptr;
    if (apiKey.isEmpty())
        exchange = new GeminiExchange(GeminiError::noApiKey());
    else if (!request.ok())
        exchange = new GeminiExchange(request.error());
    else
        exchange = new GeminiExchange(
            GeminiExchange::Settings{"POST", request.value().address, apiKey, request.value().body,
                                     120, GeminiExchange::transcriptionWaitsMs()});
    const bool interactions =
        request.ok() && request.value().kind == GeminiRequest::Kind::interactions;
    return deliver<QString>(exchange, context, std::move(done),
                            [interactions](const QByteArray &b) {
                                return interactions ? interactionText(b) : generatedText(b);
                            });
}

GeminiExchange *GeminiClient::post(const QString &to, const QString &apiKey,
                                   const QJsonObject &body, QObject *context, BytesCallback done)
{
    const GeminiResult<QUrl> url = checkedAddress(to);
    if (!url.ok())
        return deliver<QByteArray>(new GeminiExchange(url.error()), context, std::move(done),
                                   [](const QByteArray &b) { return b; });
    return post(url.value(), apiKey, QJsonDocument(body).toJson(QJsonDocument::Compact), context,
                std::move(done));
}

GeminiExchange *GeminiClient::post(const QUrl &to, const QString &apiKey,
                                   const QByteArray &jsonBody, QObject *context, BytesCallback done)
{
    auto *exchange = new GeminiExchange(GeminiExchange::Settings{
        "POST", to, apiKey, jsonBody, 120, GeminiExchange::transcriptionWaitsMs()});
    return deliver<QByteArray>(exchange, context, std::move(done),
                               [](const QByteArray &b) { return b; });
}

GeminiExchange *GeminiClient::listModels(QObject *context, NamesCallback done) const
{
    GeminiExchange *exchange = nullptr;
    const GeminiResult<QUrl> url = modelsAddress();
    if (apiKey.isEmpty())
        exchange = new GeminiExchange(GeminiError::noApiKey());
    else if (!url.ok())
        exchange = new GeminiExchange(url.error());
    else
        exchange = new GeminiExchange(
            GeminiExchange::Settings{"GET", url.value(), apiKey, {}, listingTimeoutSeconds, {}});
    return deliver<QStringList>(exchange, context, std::move(done), &GeminiClient::modelNames);
}

GeminiResult<QStringList> GeminiClient::listModelsAndWait() const
{
    return runToEnd<QStringList>(
        [this](QObject *context, NamesCallback done) { listModels(context, std::move(done)); });
}
