#pragma once

#include "onboarding/StatusPage.h"
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

class OnboardingView;

// The permission, and a live level meter while the page is on screen, so that a dead or muted
// microphone shows before the first dictation.
class MicrophoneStep : public StatusPage
{
    Q_OBJECT
public:
    explicit MicrophoneStep(OnboardingView *guide);
    QProgressBar *meter() const { return m_meter; }
    // "The microphone hears nothing" after a few quiet seconds.
    QWidget *silenceWarning() const { return m_silence; }
    bool isListening() const { return m_listening != nullptr; }

protected:
    void fill(QVBoxLayout *layout) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void listen();
    void heard(double level);

    QPointer<QProgressBar> m_meter;
    QPointer<QWidget> m_silence;
    QPointer<QObject> m_listening;
    QTimer m_quiet;
};
