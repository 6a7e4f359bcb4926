#include "audio/AudioEncoder.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <sndfile.h>
#include <utility>
#include <vector>

namespace {

// A byte array as a seekable file for libsndfile, read or written in memory.
struct Memory
{
    QByteArray bytes;
    sf_count_t at = 0;
};

sf_count_t memoryLength(void *user)
{
    return static_cast<Memory *>(user)->bytes.size();
}

sf_count_t memorySeek(sf_count_t offset, int whence, void *user)
{
    auto *m = static_cast<Memory *>(user);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : m->bytes.size();
    m->at = std::max<sf_count_t>(0, base + offset);
    return m->at;
}

sf_count_t memoryRead(void *to, sf_count_t count, void *user)
{
    auto *m = static_cast<Memory *>(user);
    const sf_count_t n = std::clamp<sf_count_t>(m->bytes.size() - m->at, 0, count);
    std::memcpy(to, m->bytes.constData() + m->at, size_t(n));
    m->at += n;
    return n;
}

sf_count_t memoryWrite(const void *from, sf_count_t count, void *user)
{
    auto *m = static_cast<Memory *>(user);
    if (m->at + count > m->bytes.size())
        m->bytes.resize(qsizetype(m->at + count));
    std::memcpy(m->bytes.data() + m->at, from, size_t(count));
    m->at += count;
    return count;
}

sf_count_t memoryTell(void *user)
{
    return static_cast<Memory *>(user)->at;
}

SF_VIRTUAL_IO memoryIo{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};

AudioEncoder::Encoded failure(const char *format, const QString &why)
{
    return {{},
            QStringLiteral("%1: %2").arg(QLatin1String(format),
                                         why.isEmpty() ? QStringLiteral("unknown error") : why)};
}

// How each form is written: libsndfile's format, its name for errors, and the encoder's VBR
// quality (0 to 1) when the format has one.
struct Form
{
    int format;
    const char *name;
    std::optional<double> quality;
};

// libsndfile's default compression level: the strongest takes 1.3% more off speech with a noise
// floor for twice the encoding time, which comes out even at 10 Mbit/s.
const Form flacForm{SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "FLAC", std::nullopt};
// Vorbis quality 0.2 is about 36 kbit/s for 16 kHz speech: twice what the service keeps of audio
// (16 kbit/s), a seventh of the WAV. The lowest quality (26 kbit/s) saves another 40 ms at
// 10 Mbit/s on 30 s but leaves the speech band 4 dB noisier.
const Form oggForm{SF_FORMAT_OGG | SF_FORMAT_VORBIS, "Ogg Vorbis", 0.2};

// Opens an encoding into `out`; null with `why` set when it cannot be made.
SNDFILE *openSink(Memory &out, const Form &form, int rate, int channels, QString &why)
{
    SF_INFO outInfo{};
    outInfo.samplerate = rate;
    outInfo.channels = channels;
    outInfo.format = form.format;
    SNDFILE *sink = sf_open_virtual(&memoryIo, SFM_WRITE, &outInfo, &out);
    if (!sink) {
        why = QString::fromUtf8(sf_strerror(nullptr));
        return nullptr;
    }
    if (form.quality) {
        double q = *form.quality;
        if (sf_command(sink, SFC_SET_VBR_ENCODING_QUALITY, &q, sizeof q) != SF_TRUE) {
            why = QString::fromUtf8(sf_strerror(sink));
            sf_close(sink);
            return nullptr;
        }
    }
    return sink;
}

// The WAV recording re-encoded in memory.
AudioEncoder::Encoded encode(const QByteArray &wav, const Form &form)
{
    const char *name = form.name;
    Memory in{wav, 0};
    SF_INFO info{};
    SNDFILE *source = sf_open_virtual(&memoryIo, SFM_READ, &info, &in);
    if (!source)
        return failure(name, QString::fromUtf8(sf_strerror(nullptr)));

    Memory out;
    out.bytes.reserve(wav.size() / 2);
    QString opening;
    SNDFILE *sink = openSink(out, form, info.samplerate, info.channels, opening);
    if (!sink) {
        sf_close(source);
        return failure(name, opening);
    }
    bool ok = true;
    // Samples go through as 16-bit integers: the recording is 16-bit PCM.
    std::vector<short> frames(size_t(4096) * size_t(std::max(info.channels, 1)));
    while (ok) {
        const sf_count_t n = sf_readf_short(source, frames.data(), 4096);
        if (n <= 0)
            break;
        ok = sf_writef_short(sink, frames.data(), n) == n;
    }
    const QString why = QString::fromUtf8(sf_strerror(sink));
    sf_close(source);
    sf_close(sink);
    if (!ok)
        return failure(name, why);
    return {out.bytes, {}};
}

} // namespace

AudioEncoder::Encoded AudioEncoder::toFlac(const QByteArray &wav)
{
    return encode(wav, flacForm);
}

AudioEncoder::Encoded AudioEncoder::toOgg(const QByteArray &wav)
{
    return encode(wav, oggForm);
}

QString AudioEncoder::mimeType(Format format)
{
    return format == Format::flac ? flacType : oggType;
}

struct AudioEncoder::Stream::State
{
    Memory out;
    SNDFILE *sink = nullptr;
    QString error;
    bool finished = false;
};

AudioEncoder::Stream::Stream(Format format, int rate)
    : m_format(format), m_state(std::make_unique<State>())
{
    // Minutes of speech before the buffer first grows.
    m_state->out.bytes.reserve(format == Format::flac ? 4 << 20 : 1 << 20);
    QString why;
    m_state->sink =
        openSink(m_state->out, format == Format::flac ? flacForm : oggForm, rate, 1, why);
    if (!m_state->sink)
        m_state->error = why.isEmpty() ? QStringLiteral("unknown error") : why;
}

AudioEncoder::Stream::~Stream()
{
    if (m_state->sink)
        sf_close(m_state->sink);
}

bool AudioEncoder::Stream::write(const short *frames, qsizetype count)
{
    if (!m_state->error.isEmpty() || m_state->finished)
        return false;
    if (count <= 0)
        return true;
    if (sf_writef_short(m_state->sink, frames, count) != count) {
        m_state->error = QString::fromUtf8(sf_strerror(m_state->sink));
        return false;
    }
    return true;
}

AudioEncoder::Encoded AudioEncoder::Stream::finish()
{
    const char *name = m_format == Format::flac ? flacForm.name : oggForm.name;
    if (m_state->finished)
        return failure(name, QStringLiteral("already finished"));
    m_state->finished = true;
    if (m_state->sink) {
        // Closing writes what the encoder still holds, and FLAC's header with the final length.
        const int closed = sf_close(std::exchange(m_state->sink, nullptr));
        if (closed != 0 && m_state->error.isEmpty())
            m_state->error = QString::fromUtf8(sf_error_number(closed));
    }
    if (!m_state->error.isEmpty())
        return failure(name, m_state->error);
    return {std::move(m_state->out.bytes), {}};
}
