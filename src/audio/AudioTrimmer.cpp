#include "audio/AudioTrimmer.h"

#include "records/Log.h"
#include "audio/SoundFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <memory>
#include <new>

namespace AudioTrimmer {

namespace {

const QString readFailedLine = QStringLiteral("could not read the audio, sending it untrimmed");

// Why libsndfile could not open a file, in words a user can act on. It reports header values
// it cannot use (a sample rate or channel count of 0) as an "Internal error".
QString openFailure()
{
    const QString reason = QString::fromUtf8(sf_strerror(nullptr));
    if (reason.startsWith(QLatin1String("Internal error")))
        return QStringLiteral("its header gives no usable sample rate or channel count");
    return reason;
}

// Keeps the head and tail of the kept silence far from overflow, whatever keepSeconds says.
constexpr long long largestSilence = 1LL << 62;

struct Segment
{
    long long start;
    long long end;
};

// Each sample type reads and writes through libsndfile without changing a value, so the frames
// that stay are bit for bit those of the input. The float view is only for measuring levels.
template <typename T> struct Samples;
template <> struct Samples<short>
{
    static sf_count_t read(SNDFILE *f, short *p, sf_count_t n) { return sf_readf_short(f, p, n); }
    static sf_count_t write(SNDFILE *f, const short *p, sf_count_t n)
    {
        return sf_writef_short(f, p, n);
    }
    static float level(short s) { return float(s) * (1.0f / 32768.0f); }
};
template <> struct Samples<int>
{
    static sf_count_t read(SNDFILE *f, int *p, sf_count_t n) { return sf_readf_int(f, p, n); }
    static sf_count_t write(SNDFILE *f, const int *p, sf_count_t n)
    {
        return sf_writef_int(f, p, n);
    }
    static float level(int s) { return float(s) * (1.0f / 2147483648.0f); }
};
template <> struct Samples<float>
{
    static sf_count_t read(SNDFILE *f, float *p, sf_count_t n) { return sf_readf_float(f, p, n); }
    static sf_count_t write(SNDFILE *f, const float *p, sf_count_t n)
    {
        return sf_writef_float(f, p, n);
    }
    static float level(float s) { return s; }
};
template <> struct Samples<double>
{
    static sf_count_t read(SNDFILE *f, double *p, sf_count_t n) { return sf_readf_double(f, p, n); }
    static sf_count_t write(SNDFILE *f, const double *p, sf_count_t n)
    {
        return sf_writef_double(f, p, n);
    }
    static float level(double s) { return float(s); }
};

// A window's level from the single-precision sum of its squares over n frames.
float levelOf(float sum, long long n)
{
    const float rms = std::sqrt(sum / float(n));
    return rms > 0.0f ? 20.0f * std::log10(rms) : silenceDb;
}

// One level per window of `window` frames over `count` frames, `sample(k)` being frame k's
// first-channel value: the sum of squares in single precision, in frame order.
template <typename Sample>
std::vector<float> levelsOf(long long count, int window, const Sample &sample)
{
    window = std::max(window, 1);
    std::vector<float> levels;
    if (count <= 0)
        return levels;
    levels.reserve(size_t(count / window) + 1);
    const auto level = levelOf;
    // Eight windows side by side: each sum still adds its own samples in order, so every level
    // is exactly the one-window-at-a-time value, but the eight additions do not wait on each
    // other.
    constexpr int lanes = 8;
    long long s = 0;
    for (; s + lanes * (long long)window <= count; s += lanes * (long long)window) {
        float sums[lanes] = {};
        for (long long k = 0; k < window; ++k) {
            for (int j = 0; j < lanes; ++j) {
                const float v = sample(s + j * (long long)window + k);
                sums[j] += v * v;
            }
        }
        for (int j = 0; j < lanes; ++j)
            levels.push_back(level(sums[j], window));
    }
    for (; s < count; s += window) {
        const long long e = std::min<long long>(s + window, count);
        float sum = 0.0f;
        for (long long k = s; k < e; ++k) {
            const float v = sample(k);
            sum += v * v;
        }
        levels.push_back(level(sum, e - s));
    }
    return levels;
}

double clampedKeep(double keepSeconds)
{
    return (std::isnan(keepSeconds) || keepSeconds < 0) ? 0.0 : keepSeconds;
}

// What a cut pause keeps of its silence: `head` frames of its start and `tail` of its end.
struct KeptSilence
{
    long long head;
    long long tail;
};

KeptSilence keptSilenceOf(double keepSeconds, int rate)
{
    const double silence = std::floor(clampedKeep(keepSeconds) * rate);
    const long long keptSilence =
        silence >= double(largestSilence) ? largestSilence : static_cast<long long>(silence);
    return {keptSilence / 2, keptSilence - keptSilence / 2};
}

int windowFrames(int rate)
{
    return std::max(1, static_cast<int>(rate * 0.02));
}

std::vector<Segment> keptSegments(const std::vector<float> &levels, long long frames, int window,
                                  double keepSeconds, int rate)
{
    const long long minPause = minimumPauseWindows(keepSeconds);
    const auto [head, tail] = keptSilenceOf(keepSeconds, rate);

    std::vector<Segment> segments;
    long long cursor = 0;
    const size_t count = levels.size();
    size_t i = 0;
    while (i < count) {
        if (levels[i] >= quietBelowDb) {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < count && levels[j] < quietBelowDb)
            ++j;
        if (static_cast<long long>(j - i) >= minPause) {
            const long long runStart = static_cast<long long>(i) * window;
            const long long runEnd = std::min(static_cast<long long>(j) * window, frames);
            segments.push_back({cursor, std::min(runStart + head, runEnd)});
            cursor = std::max(runStart + head, runEnd - tail);
        }
        i = j;
    }
    segments.push_back({cursor, frames});
    std::erase_if(segments, [](const Segment &s) { return s.end <= s.start; });
    return segments;
}

// Only the temporary file is ours to remove: the copy's name may belong to a file of the user's.
Result writeFailure(const QString &temporary, const QString &why)
{
    Log::write(QStringLiteral("could not write the trimmed audio: ") + why);
    if (!temporary.isEmpty())
        QFile::remove(temporary);
    return {Outcome::writeFailed, {}, why};
}

// Gives the finished temporary file the wanted name, or "<base>-2.wav", "-3" and so on when a
// file is already there: an existing file is never replaced. The new path, or empty with errno.
QString placeWithoutReplacing(const QString &temporary, const QString &wanted)
{
    const QByteArray from = QFile::encodeName(temporary);
    const QString stem = wanted.chopped(4); // ".wav"
    for (int n = 1; n < 1000; ++n) {
        const QString candidate =
            n == 1 ? wanted : stem + QLatin1Char('-') + QString::number(n) + QStringLiteral(".wav");
        const QByteArray to = QFile::encodeName(candidate);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
            0)
            return candidate;
        if (errno == EINVAL || errno == ENOSYS) {
            // A file system without the no-replace rename: a hard link fails on a taken name too.
            if (::link(from.constData(), to.constData()) == 0) {
                ::unlink(from.constData());
                return candidate;
            }
        }
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

template <typename T>
Result trimAs(SoundFile &input, const SF_INFO &info, const QString &inputPath, double keepSeconds,
              const QElapsedTimer &clock)
{
    const size_t channels = size_t(info.channels);
    // Left uninitialised: the read fills what is used, and a ten-minute recording is spared a
    // pass of zeroes.
    std::unique_ptr<T[]> samples(new (std::nothrow) T[size_t(info.frames) * channels]);
    if (!samples)
        return {Outcome::unreadable, {}, QStringLiteral("not enough memory for the audio")};
    // A file shorter than its header says yields what is there.
    const sf_count_t read = Samples<T>::read(input.get(), samples.get(), info.frames);
    if (read < 1)
        return {Outcome::unreadable, {}, QString::fromUtf8(sf_strerror(input.get()))};
    input.reset();
    const long long frames = read;

    // Measured in place on the interleaved frames, with the float view of each first-channel
    // sample made on the fly.
    const T *all = samples.get();
    const int window = windowFrames(info.samplerate);
    const std::vector<float> levels = levelsOf(frames, window, [all, channels](long long k) {
        return Samples<T>::level(all[size_t(k) * channels]);
    });

    const std::vector<Segment> segments =
        keptSegments(levels, frames, window, keepSeconds, info.samplerate);
    long long kept = 0;
    for (const Segment &s : segments)
        kept += s.end - s.start;
    if (segments.empty() || kept < 1 || kept >= frames)
        return {Outcome::nothingToCut, {}, {}};

    // Written under a temporary name and renamed, so no half-written copy is ever seen.
    const QString outputPath = trimmedPath(inputPath);
    SF_INFO outInfo{};
    outInfo.samplerate = info.samplerate;
    outInfo.channels = info.channels;
    outInfo.format = info.format;
    QString temporary;
    QString error;
    SoundFile out = SoundFiles::createOwnerOnlyBeside(outputPath, outInfo, temporary, error);
    if (!out)
        return writeFailure(temporary, error);
    // Interleaved frames: each segment goes out straight from the input's buffer, every
    // channel at once.
    for (const Segment &s : segments) {
        const sf_count_t n = s.end - s.start;
        if (Samples<T>::write(out.get(), all + size_t(s.start) * channels, n) != n) {
            error = QString::fromUtf8(sf_strerror(out.get()));
            out.reset();
            return writeFailure(temporary, error);
        }
    }
    samples.reset();
    error = SoundFiles::closeChecked(out);
    if (!error.isEmpty())
        return writeFailure(temporary, error);
    const QString placed = placeWithoutReplacing(temporary, outputPath);
    if (placed.isEmpty())
        return writeFailure(temporary, QString::fromLocal8Bit(std::strerror(errno)));

    const long long percent = 100 - (kept * 100) / frames;
    Log::write(
        QStringLiteral("trimmed silence in %1ms, %2% shorter").arg(clock.elapsed()).arg(percent));
    return {Outcome::trimmed, placed, {}};
}

} // namespace

QString trimmedPath(const QString &inputPath)
{
    const QFileInfo file(inputPath);
    const QString name = file.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    return file.dir().filePath(base + QStringLiteral(".trimmed.wav"));
}

long long minimumPauseWindows(double keepSeconds)
{
    if (!(keepSeconds >= 0) || !(keepSeconds + 0.3 >= 0.4))
        return 20;
    const double windows = std::ceil((keepSeconds + 0.3) / 0.02);
    return windows >= double(largestSilence) ? largestSilence : static_cast<long long>(windows);
}

std::vector<float> windowLevels(const float *samples, int count, int window)
{
    return levelsOf(count, window, [samples](long long k) { return samples[k]; });
}

Result trim(const QString &inputPath, double keepSeconds)
{
    QElapsedTimer clock;
    clock.start();
    SF_INFO info{};
    SoundFile input = SoundFiles::openForReading(inputPath, info);
    // One buffer with 32-bit frame counts holds the whole recording; longer ones are refused.
    if (!input || info.frames < 1 || info.frames > INT_MAX || info.channels < 1 ||
        info.samplerate < 1) {
        return {Outcome::unreadable,
                {},
                input ? QStringLiteral("the audio is empty or too long") : openFailure()};
    }
    switch (info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
    case SF_FORMAT_DPCM_8:
    case SF_FORMAT_DPCM_16:
    case SF_FORMAT_DWVW_12:
    case SF_FORMAT_DWVW_16:
    case SF_FORMAT_ALAC_16:
        return trimAs<short>(input, info, inputPath, keepSeconds, clock);
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_DWVW_24:
    case SF_FORMAT_ALAC_20:
    case SF_FORMAT_ALAC_24:
    case SF_FORMAT_ALAC_32:
        return trimAs<int>(input, info, inputPath, keepSeconds, clock);
    case SF_FORMAT_DOUBLE:
        return trimAs<double>(input, info, inputPath, keepSeconds, clock);
    default:
        return trimAs<float>(input, info, inputPath, keepSeconds, clock);
    }
}

Stream::Stream(double keepSeconds, int rate)
    : m_window(windowFrames(rate)), m_minPause(minimumPauseWindows(keepSeconds))
{
    const KeptSilence kept = keptSilenceOf(keepSeconds, rate);
    m_head = kept.head;
    m_tail = kept.tail;
}

void Stream::add(const short *frames, qsizetype count, std::vector<short> &kept)
{
    for (qsizetype i = 0; i < count; ++i) {
        const short s = frames[i];
        m_held.push_back(s);
        ++m_in;
        // The file trimmer's float view and order of addition, so every level is the same.
        const float v = float(s) * (1.0f / 32768.0f);
        m_sum += v * v;
        if (++m_count == m_window)
            closeWindow(kept);
    }
}

void Stream::finish(std::vector<short> &kept)
{
    if (m_count > 0)
        closeWindow(kept);
    endRun(m_in, kept);
    keepUpTo(m_in, kept);
}

void Stream::closeWindow(std::vector<short> &kept)
{
    const float level = levelOf(m_sum, m_count);
    const long long end = m_in;
    const long long start = end - m_count;
    m_sum = 0.0f;
    m_count = 0;
    if (level >= quietBelowDb) {
        endRun(start, kept);
        keepUpTo(end, kept);
        return;
    }
    if (m_runWindows == 0)
        m_runStart = start;
    ++m_runWindows;
    if (m_runWindows >= m_minPause) {
        // The run is cut however long it lasts: its head stays, and what lies further from its
        // end than the tail does not.
        keepUpTo(std::min(m_runStart + m_head, end), kept);
        dropUpTo(end - m_tail);
    }
}

void Stream::endRun(long long runEnd, std::vector<short> &kept)
{
    if (m_runWindows >= m_minPause) {
        keepUpTo(std::min(m_runStart + m_head, runEnd), kept);
        dropUpTo(std::max(m_runStart + m_head, runEnd - m_tail));
    }
    m_runWindows = 0;
}

void Stream::keepUpTo(long long frame, std::vector<short> &kept)
{
    frame = std::min(frame, m_in);
    if (frame <= m_decided)
        return;
    const auto from = m_held.begin() + (m_decided - m_heldFrom);
    kept.insert(kept.end(), from, from + (frame - m_decided));
    m_kept += frame - m_decided;
    m_decided = frame;
    release();
}

void Stream::dropUpTo(long long frame)
{
    frame = std::min(frame, m_in);
    if (frame <= m_decided)
        return;
    m_decided = frame;
    release();
}

void Stream::release()
{
    m_held.erase(m_held.begin(), m_held.begin() + (m_decided - m_heldFrom));
    m_heldFrom = m_decided;
}

std::optional<QString> trimSilence(const QString &inputPath, double keepSeconds)
{
    Result result = trim(inputPath, keepSeconds);
    // Only here is the recording sent on as it is; the trim command just reports the reason.
    if (result.outcome == Outcome::unreadable)
        Log::write(readFailedLine);
    if (result.outcome != Outcome::trimmed)
        return std::nullopt;
    return result.path;
}

} // namespace AudioTrimmer
