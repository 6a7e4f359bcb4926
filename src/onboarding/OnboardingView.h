#pragma once

#include "records/Config.h"
#include "onboarding/GuideServices.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>

#include "state/AppState.h"
class ProgressDots;
class QPushButton;
class QVBoxLayout;

// The first-run guide: five pages from the spoken languages to a first dictation, stored on every
// page turn. Return presses Next (or Finish); closing it half-way keeps what was chosen.
class OnboardingView : public QDialog
{
    Q_OBJECT
public:
    enum class Step
    {
        languages,
        microphone,
        accessibility,
        gemini,
        tryIt
    };
    Q_ENUM(Step)
    static constexpr int stepCount = 5;

    using OnSave = std::function<void(const Config &)>;
    using OnFinish = std::function<void()>;

    OnboardingView(AppState *state, OnSave onSave, OnFinish onFinish, MicStatus micStatus,
                   GuideServices services, QWidget *parent = nullptr);

    Step step() const { return m_step; }
    void move(int by);
    bool canContinue() const;
    void finish();

    bool keyChecked() const { return m_keyChecked; }
    void setKeyChecked(bool checked);
    // A check of the key (against the model list) succeeded in this guide: only then is it said
    // to work. A key already there lets the user go on, and is checked when its page shows.
    bool keyVerified() const { return m_keyVerified; }
    void setKeyVerified(bool verified) { m_keyVerified = verified; }
    MicStatus micStatus() const { return m_micStatus; }
    void setMicStatus(MicStatus status);

    QPushButton *backButton() const { return m_back; }
    QPushButton *nextButton() const { return m_next; }
    QPushButton *finishButton() const { return m_finish; }
    QWidget *page() const { return m_page; }
    AppState *state() const { return m_state; }
    const GuideServices &services() const { return m_services; }
    const OnSave &onSave() const { return m_onSave; }

Q_SIGNALS:
    void stepChanged(OnboardingView::Step step);
    void keyCheckedChanged(bool checked);
    void micStatusChanged(MicStatus status);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showStep();
    void updateButtons();

    QPointer<AppState> m_state;
    OnSave m_onSave;
    OnFinish m_onFinish;
    GuideServices m_services;
    Step m_step = Step::languages;
    bool m_keyChecked = false;
    bool m_keyVerified = false;
    bool m_appeared = false;
    MicStatus m_micStatus;
    QTimer m_micTimer;

    ProgressDots *m_dots;
    QVBoxLayout *m_pageArea;
    QWidget *m_page = nullptr;
    QPushButton *m_back;
    QPushButton *m_next;
    QPushButton *m_finish;
};
