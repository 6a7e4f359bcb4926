#pragma once

#include "transcription/GeminiAnswers.h"
#include "ui/main/SettingsStyle.h"

#include <QStringList>

struct Config;
class ListField;
class SpokenLanguagesField;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "Gemini": the key, the model (typed, or picked from a loaded list), the transcription mode, the
// word list, the spoken languages, the thinking level (not for a "transcribe" model), and the
// prompt.
class GeminiSection : public SettingsSection
{
    Q_OBJECT
public:
    explicit GeminiSection(AppState *state, QWidget *parent = nullptr);

    const QStringList &models() const { return m_models; }
    bool busy() const { return m_busy; }
    // Fetches the model list with the resolved key (the "Load"/"Reload" button).
    void loadModels();

Q_SIGNALS:
    // One line of feedback for the form's status line.
    void statusChanged(const QString &status);
    void modelsLoaded();

protected:
    void refresh() override;

private:
    void modelsArrived(const GeminiAnswers::ModelListing &listing);
    // Sets the model, with what the listing said of the streaming-only ones.
    void choose(Config &c, const QString &model) const;

    QStringList m_models;
    QStringList m_streamingOnly;
    bool m_busy = false;

    QLineEdit *m_apiKey;
    QLineEdit *m_modelField;
    QComboBox *m_modelPicker;
    QPushButton *m_load;
    QLabel *m_liveNote;
    QComboBox *m_transcription;
    QLabel *m_transcriptionNote;
    ListField *m_knownWords;
    SpokenLanguagesField *m_languages;
    QComboBox *m_thinking;
    QPlainTextEdit *m_prompt;
};
