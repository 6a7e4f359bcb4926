#include "audio/AudioRecorder.h"

#include "audio/AudioCapture.h"
#include "records/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QUuid>
#include <cmath>

namespace {

// A file holding nothing but its header carries no audio.
constexpr qint64 headerOnlyBytes = 44;

} // namespace

QString AudioRecorder::Failure::errorDescription() const
{
    switch (m_kind) {
    case Kind::couldNotStart:
        return QCoreApplication::translate("AudioRecorder", "Could not start the microphone. ") +
               m_detail;
    case Kind::noMicrophone:
        break;
    }
    return QCoreApplication::translate(
        "AudioRecorder", "The chosen microphone is not available. Pick another one in Settings.");
}

AudioRecorder::AudioRecorder(QObject *parent)
    : QObject(parent), m_capture(std::make_unique<AudioCapture>())
{
    m_thread.setObjectName(QStringLiteral("vesk.audio"));
    m_capture->moveToThread(&m_thread);
    m_thread.start();
}

AudioRecorder::~AudioRecorder()
{
    // Queued behind the work still pending, so the thread ends with nothing half done; the file
    // of a recording never stopped stays on disk.
    post([this] {
        m_capture->shutdown();
        m_thread.quit();
    });
    m_thread.wait();
}

template <typename F> void AudioRecorder::post(F &&work)
{
    QMetaObject::invokeMethod(m_capture.get(), std::forward<F>(work), Qt::QueuedConnection);
}

void AudioRecorder::setChunkHandler(std::function<void(const QByteArray &)> handler)
{
    m_capture->setSink(std::move(handler));
}

QList<AudioRecorder::Input> AudioRecorder::inputs()
{
    QList<Input> list;
    for (const QAudioDevice &d : QMediaDevices::audioInputs())
        list.append({QString::fromUtf8(d.id()), d.description()});
    return list;
}

QString AudioRecorder::name(const QString &id)
{
    if (id.isEmpty())
        return QCoreApplication::translate("AudioRecorder", "System default");
    for (const Input &input : inputs()) {
        if (input.id == id)
            return input.name;
    }
    return QCoreApplication::translate("AudioRecorder", "Not connected");
}

AudioRecorder::Authorization AudioRecorder::authorizationStatus()
{
    return Authorization::authorized;
}

void AudioRecorder::requestPermission(const std::function<void(bool)> &completion)
{
    // Nothing to ask: the status is never undetermined here.
    if (completion)
        completion(authorizationStatus() == Authorization::authorized);
}

void AudioRecorder::start(const QString &deviceID, StartCompletion completion)
{
    if (m_isRecording) {
        if (completion)
            completion(std::nullopt);
        return;
    }
    m_isRecording = true;
    const quint64 recording = ++m_generation;
    const QString path =
        QDir(QDir::tempPath())
            .filePath(QStringLiteral("vesk-") +
                      QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                      QStringLiteral(".wav"));
    const qint64 requestedAt = AudioCapture::nowNs();
    m_startedAtNs = requestedAt;
    m_capture->resetLatency();
    post([this, recording, deviceID, path, requestedAt, completion] {
        const std::optional<Failure> failure =
            m_capture->begin(recording, deviceID, path, requestedAt);
        QMetaObject::invokeMethod(
            this,
            [this, recording, failure, completion] {
                if (failure && recording == m_generation)
                    m_isRecording = false;
                if (completion)
                    completion(failure);
            },
            Qt::QueuedConnection);
    });
}

void AudioRecorder::stop(StopCompletion completion)
{
    if (!m_isRecording) {
        if (completion)
            completion(std::nullopt);
        return;
    }
    m_isRecording = false;
    const quint64 recording = m_generation;
    m_capture->markStopped(recording);
    const qint64 startedAt = m_startedAtNs;
    post([this, recording, startedAt, completion] {
        const AudioCapture::Ended ended = m_capture->end(recording);
        QMetaObject::invokeMethod(
            this,
            [this, ended, startedAt, completion] {
                std::optional<Recording> result;
                if (ended.captured) {
                    // The audio written says how long it is; the clock only when it cannot.
                    const double duration = ended.duration > 0 && std::isfinite(ended.duration)
                                                ? ended.duration
                                                : double(AudioCapture::nowNs() - startedAt) / 1e9;
                    const QFileInfo file(ended.path);
                    if (file.exists() && file.size() > headerOnlyBytes && duration > 0) {
                        result = Recording{ended.path, duration};
                    } else {
                        QFile::remove(ended.path);
                        if (!ended.error.isEmpty())
                            Log::write(QStringLiteral("recording failed: ") + ended.error);
                    }
                }
                release();
                if (completion)
                    completion(result);
            },
            Qt::QueuedConnection);
    });
}

void AudioRecorder::release()
{
    post([this] { m_capture->rest(); });
}

float AudioRecorder::averagePowerLevel() const
{
    return m_capture->level();
}

int AudioRecorder::sourceBuildCount() const
{
    return m_capture->builds();
}

std::optional<double> AudioRecorder::startLatency() const
{
    const qint64 ns = m_capture->latencyNs();
    if (ns < 0)
        return std::nullopt;
    return double(ns) / 1e9;
}
