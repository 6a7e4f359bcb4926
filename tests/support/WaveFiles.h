#pragma once

#include <QFile>
#include <QList>
#include <QString>
#include <sndfile.h>
#include <type_traits>
#include <vector>

// Writes interleaved frames to a WAVE file through libsndfile, as the tests and benchmarks make
// their recordings, and reads sound files back. Header-only: the benchmarks use it without the test
// support library.
namespace WaveFiles {

template <typename T>
bool write(const QString &path, const std::vector<T> &frames, int rate, int channels, int subtype)
{
    static_assert(std::is_same_v<T, short> || std::is_same_v<T, float>);
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f)
        return false;
    const sf_count_t n = sf_count_t(frames.size()) / channels;
    sf_count_t written = 0;
    if constexpr (std::is_same_v<T, short>)
        written = sf_writef_short(f, frames.data(), n);
    else
        written = sf_writef_float(f, frames.data(), n);
    return sf_close(f) == 0 && written == n;
}

// All frames of a sound file, interleaved; none when it cannot be read. `info` says what it is.
template <typename T> std::vector<T> read(const QString &path, SF_INFO &info)
{
    static_assert(std::is_same_v<T, short> || std::is_same_v<T, float>);
    info = SF_INFO{};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return {};
    std::vector<T> frames(size_t(info.frames) * size_t(info.channels));
    if constexpr (std::is_same_v<T, short>)
        sf_readf_short(f, frames.data(), info.frames);
    else
        sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    return frames;
}

// The frames of a sound file held in memory (an encoding the app made), read through a file in
// `folder`; none when it cannot be read.
inline std::vector<short> decode(const QByteArray &bytes, const QString &folder, SF_INFO &info)
{
    const QString path = folder + QStringLiteral("/decoded");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    f.close();
    std::vector<short> frames = read<short>(path, info);
    QFile::remove(path);
    return frames;
}

// Noise in pieces of (frames, amplitude), the same for the same seed; amplitude 0 is digital
// silence.
inline std::vector<short> noise(const QList<std::pair<int, int>> &framesAndAmplitude, quint32 seed)
{
    std::vector<short> samples;
    for (const auto &[frames, amplitude] : framesAndAmplitude) {
        for (int i = 0; i < frames; ++i) {
            seed = seed * 1664525u + 1013904223u;
            samples.push_back(short(int(seed >> 16) % (2 * amplitude + 1) - amplitude));
        }
    }
    return samples;
}

// 16 kHz mono 16-bit, the format of the app's own recordings.
inline bool writeMono16k(const QString &path, const std::vector<short> &samples)
{
    return write(path, samples, 16000, 1, SF_FORMAT_PCM_16);
}

} // namespace WaveFiles
