#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// The WAV recording re-encoded in memory for sending, smaller than the WAV: at once (stateless,
// any thread) or, with Stream, as the audio arrives.
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

enum class Format
{
    flac,
    ogg
};

QString mimeType(Format format);

// An encoding made as the audio arrives (16-bit mono): toFlac() or toOgg() of the same frames,
// the FLAC byte for byte. One thread at a time.
class Stream
{
public:
    Stream(Format format, int rate);
    ~Stream();
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    // False once anything failed; the frames are then dropped and finish() says why.
    bool write(const short *frames, qsizetype count);
    // Ends the encoding: the bytes, or what went wrong. Once.
    Encoded finish();
    Format format() const { return m_format; }

private:
    struct State;
    Format m_format;
    std::unique_ptr<State> m_state;
};

} // namespace AudioEncoder
