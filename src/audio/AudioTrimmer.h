#pragma once

#include <QString>
#include <optional>
#include <vector>

// Cuts long pauses out of a recording before it is uploaded: a finished file (stateless, any
// thread) or, with Stream, the audio as it is captured.
namespace AudioTrimmer {

// Windows at or above this level are sound; below it they are quiet.
inline constexpr float quietBelowDb = -45.0f;
inline constexpr float silenceDb = -160.0f;

enum class Outcome
{
    trimmed,      // `path` is the shortened copy
    nothingToCut, // no pause long enough: send the recording as it is
    unreadable,   // logged; send the recording as it is
    writeFailed,  // logged; send the recording as it is
};

struct Result
{
    Outcome outcome = Outcome::nothingToCut;
    QString path;  // the trimmed copy, when trimmed
    QString error; // what went wrong, when unreadable or writeFailed
};

// Writes X.trimmed.wav beside X.wav (X.trimmed-2.wav and so on when that name is taken: no
// existing file is ever replaced), in the input's own format, each long pause shortened to
// `keepSeconds` of silence (negative or not a number counts as 0). Never touches the input.
Result trim(const QString &inputPath, double keepSeconds);

// trim() for the dictation: the trimmed copy's path, or nothing to send the recording untrimmed.
std::optional<QString> trimSilence(const QString &inputPath, double keepSeconds);

// One level (dBFS, single precision) per window of `window` frames, the last one possibly shorter;
// silenceDb for a window whose samples are all 0.
std::vector<float> windowLevels(const float *samples, int count, int window);

// The number of consecutive quiet 20 ms windows a pause needs before it is cut.
long long minimumPauseWindows(double keepSeconds);

// vesk-X.wav -> vesk-X.trimmed.wav in the same folder.
QString trimmedPath(const QString &inputPath);

// trim()'s cut of a 16-bit mono recording made as the audio arrives: the same frames stay, each
// handed on as soon as it is known to stay. Only the current quiet run is held back: up to the
// minimum pause, then just the silence its end keeps. (The same frames as trim() at every rate
// whose 20 ms window is a whole number of frames.) One thread at a time.
class Stream
{
public:
    Stream(double keepSeconds, int rate);
    // Takes the next frames; appends to `kept` the ones known by now to stay.
    void add(const short *frames, qsizetype count, std::vector<short> &kept);
    // After the last frames: appends the rest that stays.
    void finish(std::vector<short> &kept);
    long long framesIn() const { return m_in; }
    // trim() cut everything when this is 0 for a recording that is not empty: it then sends the
    // recording untrimmed.
    long long framesKept() const { return m_kept; }

private:
    void closeWindow(std::vector<short> &kept);
    void endRun(long long runEnd, std::vector<short> &kept);
    void keepUpTo(long long frame, std::vector<short> &kept);
    void dropUpTo(long long frame);
    void release();

    int m_window;
    long long m_minPause;
    long long m_head = 0;
    long long m_tail = 0;
    float m_sum = 0.0f; // of the window under way
    int m_count = 0;
    long long m_runStart = 0;
    long long m_runWindows = 0; // of the quiet run under way
    long long m_in = 0;
    long long m_kept = 0;
    long long m_decided = 0;   // every frame before it is kept or dropped
    std::vector<short> m_held; // the frames from m_heldFrom on
    long long m_heldFrom = 0;
};

} // namespace AudioTrimmer
