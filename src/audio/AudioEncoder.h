#pragma once

#include <QByteArray>
#include <QString>

// The WAV recording re-encoded in memory for sending, smaller than the WAV. Stateless; any
// thread.
namespace AudioEncoder {

// The MIME type of each form, as the request names it.
inline const QString wavType = QStringLiteral("audio/wav");
inline const QString flacType = QStringLiteral("audio/flac");
inline const QString oggType = QStringLiteral("audio/ogg");

struct Encoded
{
    QByteArray bytes;
    QString error; // what went wrong; empty when bytes hold the encoding
    bool ok() const { return error.isEmpty(); }
};

// The same samples as the WAV recording, losslessly compressed (16-bit FLAC).
Encoded toFlac(const QByteArray &wav);
// The recording as Ogg Vorbis at a speech bitrate: a seventh of the WAV, not sample-exact.
Encoded toOgg(const QByteArray &wav);

} // namespace AudioEncoder
