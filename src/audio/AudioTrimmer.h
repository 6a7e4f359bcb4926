#pragma once

#include <QString>
#include <optional>
#include <vector>

// Cuts long pauses out of a finished recording before it is uploaded. Stateless; any thread.
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

} // namespace AudioTrimmer
