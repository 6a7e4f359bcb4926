#pragma once

#include "records/Config.h"
#include "ui/main/SettingsServices.h"

#include <QPointer>
#include <QScrollArea>
#include <functional>

#include "state/AppState.h"
class AudioSection;
class GeminiSection;
class QLabel;
class QPushButton;
class RecordingSection;

// The settings form. Controls edit the shared configuration in memory as the user goes; only
// "Save" hands it to the controller, which stores, writes and applies it.
class SettingsView : public QScrollArea
{
    Q_OBJECT
public:
    using OnSave = std::function<void(const Config &)>;

    SettingsView(AppState *state, OnSave onSave, SettingsServices services,
                 QWidget *parent = nullptr);

    QString status() const { return m_status; }
    void setStatus(const QString &status);
    void save();
    void openConfigFile();
    // Whether the form holds edits that are not in the settings file yet.
    bool hasUnsavedEdits() const;
    // Before a restart (a new interface language): true when it may go ahead, after saving or
    // dropping unsaved edits as the user chooses; false when the user keeps things as they are.
    bool readyToRestart();

    GeminiSection *gemini() const { return m_gemini; }
    RecordingSection *recording() const { return m_recording; }
    AudioSection *audio() const { return m_audio; }
    QPushButton *saveButton() const { return m_save; }

protected:
    // Return anywhere outside a multi-line field presses "Save".
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointer<AppState> m_state;
    OnSave m_onSave;
    SettingsServices m_services;
    QString m_status;

    GeminiSection *m_gemini;
    RecordingSection *m_recording;
    AudioSection *m_audio;
    QWidget *m_statusSection;
    QLabel *m_statusLabel;
    QPushButton *m_save;
};
