#include "audio/AudioCapture.h"

#include "audio/ServerDefaultSource.h"

#include <QCoreApplication>
#include <QMediaDevices>
#include <chrono>
#include <cmath>

namespace {

// 20 ms chunks: the level follows speech closely and the first frame comes soon.
constexpr int chunkBytes = AudioCapture::sampleRate / 50 * 2;

} // namespace

QAudioFormat AudioCapture::captureFormat()
{
    QAudioFormat format;
    format.setSampleRate(AudioCapture::sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

// An id of an input that is gone falls back to the default; the default is the audio server's
// own choice, which Qt's defaultAudioInput() does not follow.
QAudioDevice AudioCapture::chooseDevice(const QString &deviceID)
{
    const QList<QAudioDevice> devices = QMediaDevices::audioInputs();
    const QByteArray wanted = deviceID.toUtf8();
    if (!wanted.isEmpty()) {
        for (const QAudioDevice &d : devices) {
            if (d.id() == wanted)
                return d;
        }
    }
    if (devices.isEmpty())
        return {};
    const QByteArray serverDefault = ServerDefaultSource::name();
    for (const QAudioDevice &d : devices) {
        if (!serverDefault.isEmpty() && d.id() == serverDefault)
            return d;
    }
    const QAudioDevice qtDefault = QMediaDevices::defaultAudioInput();
    return qtDefault.isNull() ? devices.first() : qtDefault;
}

namespace {

QString describe(QAudio::Error error)
{
    switch (error) {
    case QAudio::OpenError:
        return QStringLiteral("the audio input could not be opened");
    case QAudio::IOError:
        return QStringLiteral("reading from the audio input failed");
    case QAudio::UnderrunError:
        return QStringLiteral("the audio input fell behind");
    case QAudio::FatalError:
        return QStringLiteral("the audio server stopped the capture");
    case QAudio::NoError:
        break;
    }
    return {};
}

} // namespace

float AudioCapture::decibels(const qint16 *samples, qsizetype count)
{
    if (count <= 0)
        return -160.0f;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const double s = samples[i] / 32768.0;
        sum += s * s;
    }
    const double rms = std::sqrt(sum / double(count));
    return rms > 0 ? float(20.0 * std::log10(rms)) : -160.0f;
}

qint64 AudioCapture::nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool AudioCapture::sourceRunning() const
{
    return m_source && m_io && m_source->state() != QAudio::StoppedState;
}

std::optional<AudioRecorder::Failure> AudioCapture::begin(quint64 recording,
                                                          const QString &deviceID,
                                                          const QString &path, qint64 requestedAtNs)
{
    const QAudioDevice device = chooseDevice(deviceID);
    if (device.isNull())
        return AudioRecorder::Failure::noMicrophone();
    if (!m_source || m_sourceDeviceID != device.id()) {
        if (m_source)
            m_source->stop();
        m_source = std::make_unique<QAudioSource>(device, captureFormat());
        m_source->setBufferSize(chunkBytes);
        m_sourceDeviceID = device.id();
        m_builds.fetch_add(1);
    }
    // A stop that came before this ran: the recording never begins.
    if (m_stopped.load() >= recording)
        return std::nullopt;

    const bool wasRunning = sourceRunning();
    if (!wasRunning) {
        m_io = m_source->start();
        if (!m_io || m_source->error() != QAudio::NoError) {
            m_source->stop();
            m_io = nullptr;
            return AudioRecorder::Failure::couldNotStart(
                QCoreApplication::translate("AudioRecorder", "The microphone could not be added."));
        }
        connect(m_io, &QIODevice::readyRead, this, &AudioCapture::drain);
    }
    if (m_file) {
        // Not expected: every capture is ended before the next begins. Keep what it has.
        SoundFiles::closeChecked(m_file);
    }

    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    QString error;
    SoundFile file = SoundFiles::createOwnerOnly(path, info, error);
    if (!file) {
        rest();
        return AudioRecorder::Failure::couldNotStart(path + QStringLiteral(": ") + error);
    }
    // Sound the running source heard before this recording belongs to no one.
    if (wasRunning && m_io)
        m_io->readAll();
    m_file = std::move(file);
    m_path = path;
    m_fileRecording = recording;
    m_frames = 0;
    m_error.clear();
    m_carry.clear();
    m_requestedAtNs = requestedAtNs;
    m_firstFrameSeen = false;
    return std::nullopt;
}

void AudioCapture::drain()
{
    if (!m_io)
        return;
    QByteArray bytes = m_io->readAll();
    if (bytes.isEmpty() || !m_file)
        return;
    if (!m_carry.isEmpty()) {
        bytes.prepend(m_carry);
        m_carry.clear();
    }
    if (bytes.size() % 2) {
        m_carry = bytes.right(1);
        bytes.chop(1);
    }
    const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData());
    const qsizetype count = bytes.size() / 2;
    if (count == 0)
        return;
    if (!m_firstFrameSeen) {
        m_firstFrameSeen = true;
        m_latencyNs.store(nowNs() - m_requestedAtNs);
    }
    m_level.store(decibels(samples, count), std::memory_order_relaxed);
    const sf_count_t written = sf_writef_short(m_file.get(), samples, count);
    if (written != count && m_error.isEmpty())
        m_error = QString::fromUtf8(sf_strerror(m_file.get()));
    m_frames += written > 0 ? written : 0;
    const std::lock_guard lock(m_sinkMutex);
    if (m_sink)
        m_sink(bytes);
}

AudioCapture::Ended AudioCapture::end(quint64 recording)
{
    Ended ended;
    if (!m_file || m_fileRecording != recording)
        return ended;
    // What the source still holds is the end of the dictation.
    drain();
    const QString closeError = SoundFiles::closeChecked(m_file);
    ended.captured = true;
    ended.path = m_path;
    ended.duration = double(m_frames) / sampleRate;
    ended.error = !m_error.isEmpty() ? m_error : closeError;
    if (ended.error.isEmpty() && m_source)
        ended.error = describe(m_source->error());
    m_path.clear();
    m_frames = 0;
    m_level.store(-160.0f);
    return ended;
}

void AudioCapture::rest()
{
    if (m_file)
        return;
    if (m_source)
        m_source->stop();
    m_io = nullptr;
    m_level.store(-160.0f);
}

void AudioCapture::shutdown()
{
    if (m_file) {
        drain();
        SoundFiles::closeChecked(m_file);
    }
    m_source.reset();
    m_io = nullptr;
}
