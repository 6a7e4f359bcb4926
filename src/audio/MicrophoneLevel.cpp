#include "audio/MicrophoneLevel.h"

#include "audio/AudioCapture.h"

MicrophoneLevel::MicrophoneLevel(const QString &deviceID, QObject *parent) : QObject(parent)
{
    const QAudioDevice device = AudioCapture::chooseDevice(deviceID);
    if (device.isNull())
        return;
    m_source = std::make_unique<QAudioSource>(device, AudioCapture::captureFormat());
    // 20 ms chunks, as a recording reads them.
    m_source->setBufferSize(AudioCapture::sampleRate / 50 * 2);
    m_io = m_source->start();
    if (!m_io || m_source->error() != QAudio::NoError) {
        m_source->stop();
        m_io = nullptr;
        return;
    }
    connect(m_io, &QIODevice::readyRead, this, &MicrophoneLevel::read);
}

MicrophoneLevel::~MicrophoneLevel()
{
    if (m_source)
        m_source->stop();
}

void MicrophoneLevel::read()
{
    if (!m_io)
        return;
    m_carry += m_io->readAll();
    const qsizetype samples = m_carry.size() / 2;
    if (samples == 0)
        return;
    const float db =
        AudioCapture::decibels(reinterpret_cast<const qint16 *>(m_carry.constData()), samples);
    m_carry.remove(0, samples * 2);
    Q_EMIT levelChanged(db);
}
