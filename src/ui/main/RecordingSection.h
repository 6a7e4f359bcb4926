#pragma once

#include "ui/main/SettingsStyle.h"

class QCheckBox;
class QComboBox;
class QSlider;

// "Recording": the hold-to-talk key and how long to hold it (on Wayland, how the key reaches the
// app), how text is inserted, the floating button and the sounds.
class RecordingSection : public SettingsSection
{
    Q_OBJECT
public:
    explicit RecordingSection(AppState *state, QWidget *parent = nullptr);

    // The slider's grid: 100 to 800 ms in steps of 50.
    static constexpr int holdMinMs = 100;
    static constexpr int holdMaxMs = 800;
    static constexpr int holdStepMs = 50;
    static qint64 holdMsForPosition(int position);
    static int positionForHoldMs(qint64 ms);

protected:
    void refresh() override;

private:
    QComboBox *m_hotkey;
    QLabel *m_keyAdvice;
    QLabel *m_keyLines;
    QCheckBox *m_readInputDevices;
    QSlider *m_hold;
    QLabel *m_holdValue;
    QComboBox *m_insertWith;
    QLabel *m_pastesTypedNote;
    QComboBox *m_lineBreak;
    QLabel *m_lineBreakNote;
    QCheckBox *m_spaceBetween;
    QCheckBox *m_hud;
    QLabel *m_noTrayNote;
    QCheckBox *m_sounds;
};
