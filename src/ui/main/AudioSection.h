#pragma once

#include "ui/main/SettingsServices.h"
#include "ui/main/SettingsStyle.h"

class QCheckBox;
class QHBoxLayout;
class QComboBox;
class QPushButton;
class QSlider;

// "Audio": the microphone, the trimming of long pauses and keeping the recordings.
class AudioSection : public SettingsSection
{
    Q_OBJECT
public:
    AudioSection(AppState *state, SettingsServices services, QWidget *parent = nullptr);

    // Reads the recorder's input list again (the "Refresh" button).
    void refreshInputs();
    const QList<std::pair<QString, QString>> &inputs() const { return m_inputs; }

    // The slider's grid: 0.05 to 1.0 s in steps of 0.05, counted in twentieths of a second.
    static double keepSecondsForPosition(int position);
    static int positionForKeepSeconds(double seconds);

protected:
    void refresh() override;

private:
    void fillMicrophones();

    SettingsServices m_services;
    QList<std::pair<QString, QString>> m_inputs;

    QComboBox *m_microphone;
    // Under a microphone that is away: what records instead.
    QLabel *m_away = nullptr;
    QPushButton *m_refresh;
    QCheckBox *m_trim;
    QSlider *m_keep;
    QLabel *m_keepValue;
    QHBoxLayout *m_keepRow;
    QCheckBox *m_keepAudio;
};
