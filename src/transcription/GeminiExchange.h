#pragma once

#include "transcription/GeminiError.h"

#include <QByteArray>
#include <QEventLoop>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>
#include <utility>

class QNetworkAccessManager;
class QNetworkReply;

// One exchange with the Gemini API: sends the request, retries it after the waits given when the
// service is overloaded (429, 500 and above) or the network failed, and reports the body of a 200
// answer or why there is none.
//
// It lives on the thread that created it, which must run an event loop. It starts from that
// loop, so connect to finished() right after creating it; finished() comes exactly once, never
// from inside the constructor or cancel(), and the exchange deletes itself afterwards.
class GeminiExchange : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        QByteArray method = "POST"; // "POST" sends body; "GET" and "DELETE" send none
        QUrl address;
        QString apiKey; // sent only in the x-goog-api-key header; none when empty
        QByteArray body;
        // Bounds each attempt twice: no byte for this long, and the whole attempt (which is
        // given more time for a large body, as if the uplink were as slow as 64 KB/s).
        int timeoutSeconds = 120;
        QList<int> waitsMs; // before the second, third, ... attempt; empty: one attempt only
        QByteArray contentType = "application/json";
        QList<std::pair<QByteArray, QByteArray>> headers; // sent as they are
        // When set, a 200 answer reports this header's value instead of the body (a missing or
        // empty one fails the exchange).
        QByteArray answerHeader;
        // The session to send on, shared between exchanges so that they reuse its connections;
        // when null the exchange makes one of its own.
        QNetworkAccessManager *network = nullptr;
    };

    // The waits between the four attempts of a transcription request.
    static const QList<int> &transcriptionWaitsMs();

    // What is read of an answer at most: a 200 answer beyond its bound fails the attempt; of an
    // error answer only the beginning is kept, since only its message is used.
    static constexpr qint64 maxAnswerBytes = 4 * 1024 * 1024;
    static constexpr qint64 maxErrorAnswerBytes = 64 * 1024;
    // How much of an answer Qt holds for this object at a time.
    static constexpr qint64 readStep = 64 * 1024;

    explicit GeminiExchange(Settings settings, QObject *parent = nullptr);
    // An exchange that sends nothing and reports the error.
    explicit GeminiExchange(GeminiError error, QObject *parent = nullptr);
    ~GeminiExchange() override;

    // Aborts the request in flight or the wait before the next attempt; finished() then reports
    // GeminiError::cancelled. Does nothing once the exchange has finished. Call it on the
    // exchange's thread.
    void cancel();

Q_SIGNALS:
    // An attempt (counted from 1) failed in a way worth retrying; the next one follows waitMs
    // later.
    void retrying(int attempt, int waitMs);
    void finished(const GeminiResult<QByteArray> &result);

private:
    void begin();
    void sendAttempt();
    void readFrom(QNetworkReply *reply);
    void onReplyFinished();
    void finish(const GeminiResult<QByteArray> &result);

    Settings m_settings;
    std::optional<GeminiError> m_presetError;
    QPointer<QNetworkAccessManager> m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_wait;
    QTimer m_deadline;
    QByteArray m_body;
    enum class Cut
    {
        none,
        oversized,
        deadline
    };
    Cut m_cut = Cut::none;
    int m_attempt = 0;
    bool m_done = false;
};

// Runs an operation that reports through a callback to its end in a local event loop, for callers
// with nothing else to do meanwhile (the command line). start(context, done) must deliver through
// done on this thread.
template <typename T, typename Start> GeminiResult<T> runToEnd(Start start)
{
    QEventLoop loop;
    std::optional<GeminiResult<T>> result;
    start(&loop, [&](const GeminiResult<T> &r) {
        result = r;
        loop.quit();
    });
    if (!result)
        loop.exec();
    return *result;
}

// The one way an operation's outcome reaches its caller: the exchange's result, read by read, goes
// to done on context's thread (queued when that is another thread). A context destroyed first
// cancels the exchange (it is the exchange's parent when both live on one thread), and done is not
// called then.
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
