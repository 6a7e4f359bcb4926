#pragma once

#include "records/Config.h"
#include "records/HotkeyKind.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

// What the dictation controller needs from the recorder, the hotkey, the text insertion, the
// transcription request and the speaker, each behind a small interface so that the controller's
// phases can be driven in tests without a microphone or a desktop.

struct Recording
{
    QString url;
    double duration = 0;
};

class RecorderPort
{
public:
    virtual ~RecorderPort() = default;
    // Nothing on success, else the description the user sees.
    virtual std::optional<QString> start(const QString &deviceID) = 0;
    // Called once, on the main thread, with the recording or nothing.
    virtual void stop(std::function<void(std::optional<Recording>)> completion) = 0;
    virtual bool isRecording() const = 0;
    // Decibels of the input (0 full scale) while recording; nothing when there is no reading.
    virtual std::optional<float> levelDb() const = 0;
    virtual QString name(const QString &deviceID) const = 0;
    // (id, name) of every input.
    virtual QList<std::pair<QString, QString>> inputs() const = 0;
    // Whether asking for the inputs is cheap now; false while asking would start the audio
    // system for nothing else.
    virtual bool ready() const { return true; }
    virtual void release() = 0;
    // A recorder that opens the device in the background reports a start that failed after
    // start() returned through this, on the main thread, with the description the user sees.
    virtual void setLateFailureHandler(std::function<void(const QString &)> handler)
    {
        Q_UNUSED(handler);
    }
    // Each chunk of the recording (16 kHz mono 16-bit PCM) as it is captured, on the capture
    // thread, while the file is written as well. Takes effect at once; an empty one stops it.
    virtual void setAudioHandler(std::function<void(const QByteArray &pcm)> handler)
    {
        Q_UNUSED(handler);
    }
};

class HotkeyPort
{
public:
    virtual ~HotkeyPort() = default;
    virtual void setCallbacks(std::function<void()> onStart, std::function<void()> onStop,
                              std::function<void()> onCancel) = 0;
    virtual void setKind(HotkeyKind kind) = 0;
    virtual void setHoldThreshold(double seconds) = 0;
    virtual void setExternalRecording(bool recording) = 0;
    // On Wayland, whether the key may be read from the keyboard devices; takes effect on start().
    virtual void setReadInputDevices(bool allowed) { Q_UNUSED(allowed); }
    virtual void start() = 0;
    virtual void stop() = 0;
    // Whether start() installed the monitors (so a changed key needs a restart).
    virtual bool isInstalled() const = 0;
};

class InserterPort
{
public:
    virtual ~InserterPort() = default;
    // `spaceBefore`: one space goes before the (trimmed) text.
    virtual void insert(const QString &text, const QString &method, const QString &newline,
                        bool spaceBefore) = 0;
    // An insertion that could not post its keys (the desktop has not allowed it, say) reports
    // through this, on the main thread, with the description the user sees.
    virtual void setFailureHandler(std::function<void(const QString &)> handler)
    {
        Q_UNUSED(handler);
    }
    // Whether the desktop lets a paste reach the focused window; where not, pastes are typed.
    virtual bool canPaste() const { return true; }
};

// The window the text goes to: which one is in front, and the way back to the one the user
// worked in before this program's window came up. By default the desktop tells nothing.
class FocusPort
{
public:
    virtual ~FocusPort() = default;
    // An id of the desktop's for the window in front; 0 when it does not say.
    virtual quint64 activeWindow() const { return 0; }
    // The last window in front that was not this program's; 0 when none is known.
    virtual quint64 previousWindow() const { return 0; }
    // Brings it to the front; `done` runs once: true when it has the keyboard focus.
    virtual void activate(quint64 window, std::function<void(bool)> done)
    {
        Q_UNUSED(window);
        done(false);
    }
};

// One transcription request with its endpoint choice, from a settings snapshot and a file.
class TranscriberPort
{
public:
    using Done = std::function<void(std::optional<QString> text, QString errorDescription)>;
    virtual ~TranscriberPort() = default;
    // Runs off the main thread; `done` is called once on the main thread unless cancelled first.
    virtual void transcribe(const Config &snapshot, const QString &file, Done done) = 0;
    // A recording has started: a request may follow, so the way to the service can be readied
    // (for a live model, its session opens and takes the audio from feed()).
    virtual void warmUp(const Config &snapshot) { Q_UNUSED(snapshot); }
    // The recording's audio as it is captured; from any thread.
    virtual void feed(const QByteArray &pcm) { Q_UNUSED(pcm); }
    // Whether the audio fed since warmUp() was trimmed and encoded as these settings ask while
    // the user spoke: then transcribe() of that recording sends it (and trims the file itself
    // should it be unusable), so the recording is passed untrimmed. On the main thread.
    virtual bool encodesWhileRecording(const Config &snapshot) const
    {
        Q_UNUSED(snapshot);
        return false;
    }
    // The words heard so far, while a live session runs; on the main thread.
    virtual void setInterimHandler(std::function<void(const QString &text)> handler)
    {
        Q_UNUSED(handler);
    }
    // Gives up the request, or the live session of the recording under way.
    virtual void cancel() = 0;
};

// Shortens the recording; the copy's path, or nothing to send the original.
using TrimFunction = std::function<std::optional<QString>(const QString &file, double keepSeconds)>;
// Plays one of the named sounds ("Tink", "Pop", "Funk", "Basso").
using SoundFunction = std::function<void(const QString &name)>;
