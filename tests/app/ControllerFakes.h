#pragma once

#include "app/controller/DictationPorts.h"
#include "LogMessages.h"
#include "records/History.h"

#include <QFile>
#include <QStringList>
#include <QTimer>

// Fakes at the platform boundary: they record what the controller asked for.

// A history of these transcripts, the last one newest.
inline History historyOf(const QStringList &texts)
{
    History h;
    for (const QString &text : texts)
        h.add(HistoryEntry::make(text, 1, u"m"_s, u"mac"_s));
    return h;
}

class FakeRecorder : public RecorderPort
{
public:
    std::optional<QString> failure;
    std::optional<float> level;
    QStringList startedWith;
    std::function<void(std::optional<Recording>)> pendingStop;
    bool recording = false;
    int releases = 0;
    std::function<void(const QString &)> lateFailure;
    std::function<void(const QByteArray &)> audio;

    void setAudioHandler(std::function<void(const QByteArray &)> handler) override
    {
        audio = std::move(handler);
    }
    void setLateFailureHandler(std::function<void(const QString &)> handler) override
    {
        lateFailure = std::move(handler);
    }

    std::optional<QString> start(const QString &deviceID) override
    {
        if (failure)
            return failure;
        startedWith.append(deviceID);
        recording = true;
        return std::nullopt;
    }
    void stop(std::function<void(std::optional<Recording>)> completion) override
    {
        if (!recording) {
            completion(std::nullopt);
            return;
        }
        recording = false;
        pendingStop = std::move(completion);
    }
    // Hands the recording over later on the main thread, as the real recorder does.
    void deliver(std::optional<Recording> result)
    {
        auto completion = std::move(pendingStop);
        pendingStop = nullptr;
        QTimer::singleShot(0, [completion, result] {
            if (completion)
                completion(result);
        });
    }
    bool isRecording() const override { return recording; }
    std::optional<float> levelDb() const override { return level; }
    QString name(const QString &deviceID) const override
    {
        return deviceID.isEmpty() ? u"System default"_s : u"Mic "_s + deviceID;
    }
    QList<std::pair<QString, QString>> inputs() const override { return {{u"a"_s, u"Mic a"_s}}; }
    void release() override { ++releases; }
};

class FakeHotkey : public HotkeyPort
{
public:
    bool external = false;
    bool installed = false;
    int starts = 0;
    HotkeyKind kind = HotkeyKind::controlFn;
    double threshold = 0;
    std::function<void()> onStart, onStop, onCancel;

    void setCallbacks(std::function<void()> start, std::function<void()> stop,
                      std::function<void()> cancel) override
    {
        onStart = std::move(start);
        onStop = std::move(stop);
        onCancel = std::move(cancel);
    }
    void setKind(HotkeyKind k) override { kind = k; }
    void setHoldThreshold(double seconds) override { threshold = seconds; }
    void setExternalRecording(bool recording) override { external = recording; }
    void start() override
    {
        installed = true;
        ++starts;
    }
    void stop() override { installed = false; }
    bool isInstalled() const override { return installed; }
};

class FakeInserter : public InserterPort
{
public:
    struct Call
    {
        QString text, method, newline;
        bool spaceBefore = false;
    };
    QList<Call> calls;
    // The reason every insertion fails with, as the desktop's injector reports it at once.
    QString refusal;
    std::function<void(const QString &)> failure;
    void insert(const QString &text, const QString &method, const QString &newline,
                bool spaceBefore) override
    {
        calls.append({text, method, newline, spaceBefore});
        if (!refusal.isEmpty() && failure)
            failure(refusal);
    }
    void setFailureHandler(std::function<void(const QString &)> handler) override
    {
        failure = std::move(handler);
    }
};

class FakeTranscriber : public TranscriberPort
{
public:
    struct Request
    {
        Config snapshot;
        QString file;
        Done done;
    };
    QList<Request> requests;
    int cancels = 0;
    QList<QByteArray> fed;
    std::function<void(const QString &)> interim;

    void transcribe(const Config &snapshot, const QString &file, Done done) override
    {
        requests.append({snapshot, file, std::move(done)});
    }
    void cancel() override { ++cancels; }
    void feed(const QByteArray &pcm) override { fed.append(pcm); }
    void setInterimHandler(std::function<void(const QString &)> handler) override
    {
        interim = std::move(handler);
    }
    void succeed(const QString &text) { requests.last().done(text, QString()); }
    void fail(const QString &description) { requests.last().done(std::nullopt, description); }
};

// A desktop whose window in front the test sets, and which activates whatever it is asked to.
class FakeFocus : public FocusPort
{
public:
    quint64 active = 0;
    quint64 activeWindow() const override { return active; }
    quint64 previousWindow() const override { return 0; }
    void activate(quint64 window, std::function<void(bool)> done) override
    {
        active = window;
        done(window != 0);
    }
};
