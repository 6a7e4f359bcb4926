#pragma once

#include <QAudioSource>
#include <QObject>
#include <QPointer>
#include <memory>

// A microphone listened to without recording anything, for a level meter: while the object
// lives, levelChanged() says how loud the input is, about fifty times a second.
class MicrophoneLevel : public QObject
{
    Q_OBJECT
public:
    // The input of `deviceID` (the system default for an empty one or one that is away).
    explicit MicrophoneLevel(const QString &deviceID, QObject *parent = nullptr);
    ~MicrophoneLevel() override;

    // False when no input could be opened.
    bool listening() const { return m_io != nullptr; }

Q_SIGNALS:
    // Decibels of full scale, -160 for silence.
    void levelChanged(float decibels);

private:
    void read();

    std::unique_ptr<QAudioSource> m_source;
    // Owned by the source.
    QPointer<QIODevice> m_io;
    QByteArray m_carry;
};
