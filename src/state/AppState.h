#pragma once

#include "records/Config.h"
#include "records/History.h"
#include "records/HoldKeyAdvice.h"

#include <QObject>

// The one observable state of the app. Every setter that changes a value emits its own signal and
// then changed(); views redraw from it and reach the controller only through their actions.
class AppState : public QObject
{
    Q_OBJECT
public:
    enum class Phase
    {
        idle,
        recording,
        working,
        failed
    };
    Q_ENUM(Phase)

    // Loads config.json (written with defaults when missing) and history.json, noting what could
    // not be read.
    explicit AppState(QObject *parent = nullptr);
    AppState(const Config &config, const History &history, QObject *parent = nullptr);

    Phase phase() const { return m_phase; }
    void setPhase(Phase phase);

    // 0 to 1 while recording, 0 otherwise.
    double level() const { return m_level; }
    void setLevel(double level);

    // The words a live session has heard so far in the dictation under way; empty otherwise.
    QString interimText() const { return m_interimText; }
    void setInterimText(const QString &text);

    // The last error shown to the user; empty when there is none.
    QString message() const { return m_message; }
    void setMessage(const QString &message);

    bool accessibilityGranted() const { return m_accessibilityGranted; }
    void setAccessibilityGranted(bool granted);

    // How the hold key reaches the app on Wayland, and what the user must do; empty on X11.
    const HoldKeyAdvice &holdKeyAdvice() const { return m_holdKeyAdvice; }
    void setHoldKeyAdvice(const HoldKeyAdvice &advice);

    // Whether the desktop shows tray icons (a StatusNotifierItem host or an X11 tray).
    bool trayAvailable() const { return m_trayAvailable; }
    void setTrayAvailable(bool available);

    // Whether a paste can reach the user's window here; where not, pastes are typed.
    bool pasteAvailable() const { return m_pasteAvailable; }
    void setPasteAvailable(bool available);

    const Config &config() const { return m_config; }
    void setConfig(const Config &config);
    // The settings as this run last read or wrote them: what the form's unsaved edits differ from.
    const Config &savedConfig() const { return m_configFile.base; }

    // The hold key that works now: the one last applied, while an edit of it is not saved.
    HotkeyKind hotkeyInEffect() const { return m_hotkeyInEffect; }
    void setHotkeyInEffect(HotkeyKind kind);

    const History &history() const { return m_history; }
    void setHistory(const History &history);

    // Write the settings or the history, first merging in what someone else changed in the file
    // since this run last read or wrote it (the live record then takes the merge). A failed save
    // leaves the file as it was, is logged once and shown by saveProblems() until a later save
    // succeeds; the next change tries again.
    bool saveConfig();
    bool saveHistory();
    // Tries the saves that failed once more (at quit).
    void retryFailedSaves();
    // Why the settings or the history could not be saved, in the interface language.
    QStringList saveProblems() const;

    // Where the current or last dictation came from.
    QString source() const { return m_source; }
    void setSource(const QString &source);

    // The newest transcript, or empty.
    QString lastTranscript() const;

    // Why config.json or history.json could not be read at start; each holds until the record it
    // speaks of is changed (and so written anew).
    QStringList readProblems() const;

Q_SIGNALS:
    void changed();
    void phaseChanged(AppState::Phase phase);
    void levelChanged(double level);
    void interimTextChanged(const QString &text);
    void messageChanged(const QString &message);
    void accessibilityGrantedChanged(bool granted);
    void holdKeyAdviceChanged();
    void trayAvailableChanged(bool available);
    void pasteAvailableChanged(bool available);
    void configChanged();
    void hotkeyInEffectChanged();
    void historyChanged();
    void sourceChanged();
    void saveProblemsChanged();

private:
    // A record file as this run last read or wrote it.
    template <typename Record> struct File
    {
        QString path;
        Record base;
        std::optional<DataFiles::Stamp> stamp;
        QString saveError;
    };
    template <typename Record>
    bool store(File<Record> &file, const Record &live, void (AppState::*set)(const Record &));

    // Stores a changed value, then tells its own observers and the general ones.
    template <typename T, typename Notify> void update(T &field, const T &value, Notify notify)
    {
        if (field == value)
            return;
        field = value;
        notify();
        Q_EMIT changed();
    }

    Phase m_phase = Phase::idle;
    double m_level = 0;
    QString m_interimText;
    QString m_message;
    bool m_accessibilityGranted = false;
    HoldKeyAdvice m_holdKeyAdvice;
    bool m_trayAvailable = true;
    bool m_pasteAvailable = true;
    Config m_config;
    HotkeyKind m_hotkeyInEffect = HotkeyKind::fn;
    History m_history;
    QString m_source = QStringLiteral("mac");
    QString m_configProblem;
    QString m_historyProblem;
    File<Config> m_configFile;
    File<History> m_historyFile;
};
