#include "app/parts/LazyPorts.h"

#include <QCoreApplication>

RecorderPort &LazyRecorder::real() const
{
    if (!m_real) {
        m_real = m_parts.get().recorder();
        m_real->setLateFailureHandler(m_lateFailure);
        m_real->setAudioHandler(m_audio);
    }
    return *m_real;
}

std::optional<QString> LazyRecorder::start(const QString &deviceID)
{
    return real().start(deviceID);
}

void LazyRecorder::stop(std::function<void(std::optional<Recording>)> completion)
{
    if (!m_real) {
        completion(std::nullopt); // nothing was ever recorded
        return;
    }
    m_real->stop(std::move(completion));
}

bool LazyRecorder::isRecording() const
{
    return m_real && m_real->isRecording();
}

std::optional<float> LazyRecorder::levelDb() const
{
    return m_real ? m_real->levelDb() : std::nullopt;
}

QString LazyRecorder::name(const QString &deviceID) const
{
    // The tray menu names the system default at every launch: the recorder's own words for it,
    // without starting the audio system.
    if (deviceID.isEmpty() && !m_real)
        return QCoreApplication::translate("AudioRecorder", "System default");
    return real().name(deviceID);
}

QList<std::pair<QString, QString>> LazyRecorder::inputs() const
{
    return real().inputs();
}

void LazyRecorder::release()
{
    if (m_real)
        m_real->release();
}

void LazyRecorder::setLateFailureHandler(std::function<void(const QString &)> handler)
{
    m_lateFailure = std::move(handler);
    if (m_real)
        m_real->setLateFailureHandler(m_lateFailure);
}

void LazyRecorder::setAudioHandler(std::function<void(const QByteArray &)> handler)
{
    m_audio = std::move(handler);
    if (m_real)
        m_real->setAudioHandler(m_audio);
}

TranscriberPort &LazyTranscriber::real()
{
    if (!m_real) {
        m_real = m_parts.get().transcriber();
        m_real->setInterimHandler(m_interim);
        m_ready.store(m_real.get(), std::memory_order_release);
    }
    return *m_real;
}

void LazyTranscriber::transcribe(const Config &snapshot, const QString &file, Done done)
{
    real().transcribe(snapshot, file, std::move(done));
}

void LazyTranscriber::warmUp(const Config &snapshot)
{
    real().warmUp(snapshot);
}

void LazyTranscriber::feed(const QByteArray &pcm)
{
    // Audio before the first warm-up has no request to go to, as with the real one.
    if (TranscriberPort *ready = m_ready.load(std::memory_order_acquire))
        ready->feed(pcm);
}

bool LazyTranscriber::encodesWhileRecording(const Config &snapshot) const
{
    return m_real && m_real->encodesWhileRecording(snapshot);
}

void LazyTranscriber::setInterimHandler(std::function<void(const QString &)> handler)
{
    m_interim = std::move(handler);
    if (m_real)
        m_real->setInterimHandler(m_interim);
}

void LazyTranscriber::cancel()
{
    if (m_real)
        m_real->cancel();
}
