#include "transcription/GeminiAnswers.h"

#include "records/PlainText.h"
#include "transcription/LiveSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <optional>

namespace {

// An array whose elements are all objects; anything else counts as absent.
std::optional<QList<QJsonObject>> arrayOfObjects(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    QList<QJsonObject> objects;
    for (const QJsonValue &element : value.toArray()) {
        if (!element.isObject())
            return std::nullopt;
        objects.append(element.toObject());
    }
    return objects;
}

QList<QJsonObject> objectsOrEmpty(const QJsonValue &value)
{
    return arrayOfObjects(value).value_or(QList<QJsonObject>());
}

// The transcript as every consumer gets it: pasted, typed, kept in the history, printed. Control
// characters from the service would act there (a terminal runs escape sequences, also when the
// text is pasted into one later), so they go here, once; line feeds and tabs stay.
QString joinedTexts(const QList<QJsonObject> &parts)
{
    QString text;
    for (const QJsonObject &part : parts) {
        if (const QJsonValue t = part.value(QLatin1String("text")); t.isString())
            text += t.toString();
    }
    return PlainText::withoutControls(text).trimmed();
}

// The top-level object of an answer, or why there is none.
GeminiResult<QJsonObject> answerObject(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return GeminiError::invalidJson(error.errorString() + QStringLiteral(" (offset ") +
                                        QString::number(error.offset) + QLatin1Char(')'));
    if (!doc.isObject())
        return GeminiError::badResponse(QStringLiteral("not an object"));
    return doc.object();
}

// Plain code-point order: UTF-8 bytes compare the same way, UTF-16 units do not.
bool codePointLess(const QString &a, const QString &b)
{
    return a.toUtf8() < b.toUtf8();
}

// The beginning of the "message" string of an error object whose end was cut off (only the
// beginning of a long error answer is read), or nothing.
std::optional<QString> cutMessage(const QByteArray &body)
{
    static const QRegularExpression start(
        QStringLiteral(R"(^\s*\{\s*"error"\s*:\s*\{.*?"message"\s*:\s*")"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString text = QString::fromUtf8(body);
    const QRegularExpressionMatch match = start.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    QString rest = text.mid(match.capturedEnd());
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest.at(i) == u'\\')
            ++i;
        else if (rest.at(i) == u'"')
            rest.truncate(i);
    }
    // The cut may have split an escape: drop what cannot be read, a few characters at most.
    for (int dropped = 0; dropped <= 6 && !rest.isEmpty(); ++dropped, rest.chop(1)) {
        const QJsonDocument doc =
            QJsonDocument::fromJson(QStringLiteral("[\"%1\"]").arg(rest).toUtf8());
        if (doc.isArray() && doc.array().at(0).isString())
            return doc.array().at(0).toString() + QChar(0x2026);
    }
    return std::nullopt;
}

} // namespace

QString GeminiAnswers::errorMessage(const QByteArray &body)
{
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parse);
    if (doc.isObject()) {
        const QJsonValue error = doc.object().value(QLatin1String("error"));
        if (const QJsonValue message = error.toObject().value(QLatin1String("message"));
            error.isObject() && message.isString())
            return message.toString();
    } else if (parse.error != QJsonParseError::NoError) {
        if (const auto message = cutMessage(body))
            return *message;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(body);
    if (!decoder.hasError())
        return text;
    return QStringLiteral("unknown error");
}

GeminiResult<QString> GeminiAnswers::generatedText(const QByteArray &body)
{
    const GeminiResult<QJsonObject> answer = answerObject(body);
    if (!answer.ok())
        return answer.error();
    const QJsonObject &root = answer.value();

    const auto candidates = arrayOfObjects(root.value(QLatin1String("candidates")));
    if (candidates && !candidates->isEmpty()) {
        const QJsonObject &candidate = candidates->first();
        QList<QJsonObject> parts = objectsOrEmpty(
            candidate.value(QLatin1String("content")).toObject().value(QLatin1String("parts")));
        parts.removeIf([](const QJsonObject &part) {
            const QJsonValue thought = part.value(QLatin1String("thought"));
            return thought.isBool() && thought.toBool();
        });
        if (const QString text = joinedTexts(parts); !text.isEmpty())
            return text;
        const QJsonValue reason = candidate.value(QLatin1String("finishReason"));
        if (!reason.isString() || reason.toString() == QLatin1String("STOP"))
            return GeminiError::emptyResponse();
        return GeminiError::badResponse(QStringLiteral("finishReason ") + reason.toString());
    }

    const QJsonValue feedback = root.value(QLatin1String("promptFeedback"));
    if (const QJsonValue reason = feedback.toObject().value(QLatin1String("blockReason"));
        feedback.isObject() && reason.isString())
        return GeminiError::badResponse(QStringLiteral("blocked (") + reason.toString() +
                                        QLatin1Char(')'));
    return GeminiError::emptyResponse();
}

GeminiResult<QString> GeminiAnswers::interactionText(const QByteArray &body)
{
    const GeminiResult<QJsonObject> answer = answerObject(body);
    if (!answer.ok())
        return answer.error();

    QList<QJsonObject> contents;
    for (const QJsonObject &step : objectsOrEmpty(answer.value().value(QLatin1String("steps"))))
        contents += objectsOrEmpty(step.value(QLatin1String("content")));
    const QString text = joinedTexts(contents);
    if (text.isEmpty())
        return GeminiError::emptyResponse();
    return text;
}

GeminiResult<QString> GeminiAnswers::transcript(GeminiRequest::Kind kind, const QByteArray &body)
{
    return kind == GeminiRequest::Kind::interactions ? interactionText(body) : generatedText(body);
}

GeminiResult<GeminiAnswers::ModelListing> GeminiAnswers::modelListing(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return GeminiError::invalidJson(error.errorString() + QStringLiteral(" (offset ") +
                                        QString::number(error.offset) + QLatin1Char(')'));
    const auto models = arrayOfObjects(doc.object().value(QLatin1String("models")));
    if (!doc.isObject() || !models)
        return GeminiError::badResponse(QStringLiteral("no models field"));

    ModelListing listing;
    for (const QJsonObject &model : *models) {
        // Printed by the command line and shown in menus: no control characters either.
        const QJsonValue name = model.value(QLatin1String("name"));
        if (!name.isString())
            continue;
        const QString clean = PlainText::withoutControls(name.toString())
                                  .remove(QStringLiteral("models/"))
                                  .simplified();
        if (clean.isEmpty())
            continue;
        listing.names.append(clean);
        const QJsonArray methods =
            model.value(QLatin1String("supportedGenerationMethods")).toArray();
        const bool streamsOnly = methods.contains(QStringLiteral("bidiGenerateContent")) &&
                                 !methods.contains(QStringLiteral("generateContent"));
        if (streamsOnly)
            listing.streamingOnly.append(clean);
    }
    std::stable_sort(listing.names.begin(), listing.names.end(), codePointLess);
    std::stable_sort(listing.streamingOnly.begin(), listing.streamingOnly.end(), codePointLess);
    listing.streamingOnly.removeDuplicates();
    return listing;
}

bool GeminiAnswers::ModelListing::live(const QString &name) const
{
    return LiveSession::isLive(name) || streamingOnly.contains(name);
}

GeminiResult<QStringList> GeminiAnswers::modelNames(const QByteArray &body)
{
    const GeminiResult<ModelListing> listing = modelListing(body);
    if (!listing.ok())
        return listing.error();
    return listing.value().names;
}
