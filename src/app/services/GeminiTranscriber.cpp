#include "GeminiTranscriber.h"

#include "GeminiClient.h"
#include "GeminiExchange.h"

#include <QMetaObject>

// Lives on the worker thread; runs one exchange at a time.
class GeminiTranscriber::Worker : public QObject
{
public:
    void run(const GeminiClient &client, const QString &file,
             std::function<void(GeminiResult<QString>)> deliver)
    {
        stop();
        if (client.apiKey.isEmpty())
            return deliver(GeminiError::noApiKey());
        const GeminiResult<QByteArray> audio = GeminiClient::readAudio(file);
        if (!audio.ok())
            return deliver(audio.error());
        m_exchange = GeminiClient::send(client.transcriptionRequest(audio.value()), client.apiKey,
                                        this, std::move(deliver));
    }

    void stop()
    {
        if (m_exchange)
            m_exchange->cancel();
        m_exchange = nullptr;
    }

private:
    QPointer<GeminiExchange> m_exchange;
};

GeminiTranscriber::GeminiTranscriber(QObject *parent) : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("vesk.transcribe"));
    m_worker = new Worker;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

GeminiTranscriber::~GeminiTranscriber()
{
    ++m_generation;
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->stop(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void GeminiTranscriber::transcribe(const Config &snapshot, const QString &file, Done done)
{
    const quint64 generation = ++m_generation;
    const GeminiClient client = GeminiClient::from(snapshot);
    QPointer<GeminiTranscriber> self(this);
    auto deliver = [self, generation, done = std::move(done)](GeminiResult<QString> result) {
        // Back to the main thread; dropped when cancelled or superseded meanwhile.
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, done, result] {
                if (!self || self->m_generation != generation)
                    return;
                if (result.ok())
                    done(result.value(), QString());
                else if (result.error().kind() != GeminiError::Kind::cancelled)
                    done(std::nullopt, result.error().description());
            },
            Qt::QueuedConnection);
    };
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, client, file, deliver] { worker->run(client, file, deliver); },
        Qt::QueuedConnection);
}

void GeminiTranscriber::cancel()
{
    ++m_generation;
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->stop(); }, Qt::QueuedConnection);
}
