#pragma once

#include <QFile>
#include <QString>
#include <sndfile.h>
#include <type_traits>
#include <vector>

// Writes interleaved frames to a WAVE file through libsndfile, as the tests and benchmarks make
// their recordings. Header-only: the benchmarks use it without the test support library.
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

// 16 kHz mono 16-bit, the format of the app's own recordings.
inline bool writeMono16k(const QString &path, const std::vector<short> &samples)
{
    return write(path, samples, 16000, 1, SF_FORMAT_PCM_16);
}

} // namespace WaveFiles
