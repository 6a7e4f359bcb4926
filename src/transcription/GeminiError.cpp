#include "transcription/GeminiError.h"

#include "records/PlainText.h"

#include <QCoreApplication>

namespace {

// A text from the service or the system as it is kept and shown: as it came, runs of blanks
// included, but on one line (each line break or tab a blank, the ends trimmed), other control
// characters written out, a few hundred characters at most (an error page can be megabytes).
QString fromOutside(const QString &text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar &c : line) {
        if (c.isSpace())
            c = u' ';
    }
    return PlainText::shortened(PlainText::escaped(line.trimmed()), 300);
}

} // namespace

GeminiError GeminiError::http(int status, const QString &message)
{
    GeminiError e(Kind::http);
    e.m_status = status;
    e.m_message = fromOutside(message);
    return e;
}

GeminiError GeminiError::badResponse(const QString &detail)
{
    GeminiError e(Kind::badResponse);
    e.m_detail = fromOutside(detail);
    return e;
}

GeminiError GeminiError::transport(const QString &detail)
{
    GeminiError e(Kind::transport);
    e.m_detail = fromOutside(detail);
    return e;
}

GeminiError GeminiError::timedOut(int seconds)
{
    return transport(
        QCoreApplication::translate("GeminiError", "no answer within %1 seconds").arg(seconds));
}

GeminiError GeminiError::invalidJson(const QString &detail)
{
    GeminiError e(Kind::invalidJson);
    e.m_detail = fromOutside(detail);
    return e;
}

GeminiError GeminiError::fileRead(const QString &path, const QString &reason)
{
    GeminiError e(Kind::fileRead);
    e.m_detail = path;
    e.m_message = reason;
    return e;
}

GeminiError GeminiError::invalidModel(const QString &model)
{
    GeminiError e(Kind::invalidModel);
    e.m_detail = model;
    return e;
}

GeminiError GeminiError::invalidAddress(const QString &address)
{
    GeminiError e(Kind::invalidAddress);
    e.m_detail = address;
    return e;
}

QString GeminiError::description() const
{
    switch (m_kind) {
    case Kind::http:
        return QCoreApplication::translate("GeminiError", "Gemini returned ") +
               QString::number(m_status) + QStringLiteral(": ") + m_message;
    case Kind::badResponse:
        return QCoreApplication::translate("GeminiError", "Could not read the Gemini response: ") +
               m_detail;
    case Kind::noApiKey:
        return QCoreApplication::translate(
            "GeminiError", "No API key. Add it in Settings, or set GEMINI_API_KEY.");
    case Kind::emptyResponse:
        return QCoreApplication::translate("GeminiError", "Gemini returned no text.");
    case Kind::transport:
        return QCoreApplication::translate("GeminiError", "Could not reach Gemini: ") + m_detail;
    case Kind::invalidJson:
        return QCoreApplication::translate("GeminiError",
                                           "Gemini sent an answer that is not JSON: ") +
               m_detail;
    case Kind::fileRead:
        return QCoreApplication::translate("GeminiError", "Could not read the recording %1: %2")
            .arg(PlainText::escaped(m_detail), PlainText::escaped(m_message));
    case Kind::invalidModel:
        return QCoreApplication::translate(
                   "GeminiError", "The model name \"%1\" cannot be used in a request address.")
            .arg(PlainText::escaped(m_detail));
    case Kind::invalidAddress:
        return QCoreApplication::translate(
                   "GeminiError", "Not a usable Gemini address (check VESK_GEMINI_BASE_URL): ") +
               PlainText::escaped(m_detail);
    case Kind::invalidApiKey:
        return QCoreApplication::translate(
            "GeminiError",
            "The API key contains line breaks or other control characters. Enter it again "
            "in Settings.");
    case Kind::cancelled:
        return QCoreApplication::translate("GeminiError", "The request was cancelled.");
    }
    return {};
}
