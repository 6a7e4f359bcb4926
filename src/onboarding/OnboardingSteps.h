#pragma once

#include "OnboardingView.h"

#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;
class GeminiExchange;

// The page of a step, built afresh for every visit.
QWidget *makeStepPage(OnboardingView::Step step, OnboardingView *guide);

// Ticks for the spoken languages; the stored list always follows the table's order.
class LanguagesStep : public QWidget
{
    Q_OBJECT
public:
    explicit LanguagesStep(OnboardingView *guide);
    QList<QCheckBox *> boxes() const { return m_boxes; }

private:
    QList<QCheckBox *> m_boxes;
};

// Base of the pages whose lower part depends on a status and is rebuilt when it changes.
class StatusPage : public QWidget
{
    Q_OBJECT
protected:
    StatusPage(OnboardingView *guide, QWidget *header);
    // Replaces the status-dependent part with a fresh one.
    void rebuild();
    virtual void fill(QVBoxLayout *layout) = 0;
    OnboardingView *m_guide;

private:
    QWidget *m_body = nullptr;
    QVBoxLayout *m_layout;
};

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

class AccessibilityStep : public StatusPage
{
    Q_OBJECT
public:
    explicit AccessibilityStep(OnboardingView *guide);

protected:
    void fill(QVBoxLayout *layout) override;
};

// The API key, its check against the model list, and the model the check picks.
class GeminiStep : public QWidget
{
    Q_OBJECT
public:
    explicit GeminiStep(OnboardingView *guide);
    ~GeminiStep() override;

    void check();
    bool isBusy() const { return m_busy; }
    QString error() const { return m_error; }
    QLineEdit *keyField() const { return m_key; }
    QPushButton *checkButton() const { return m_check; }
    // The address of Google AI Studio's key page.
    static QUrl aiStudioUrl();

private:
    void refresh();

    OnboardingView *m_guide;
    bool m_busy = false;
    QString m_error;
    QLineEdit *m_key;
    QPushButton *m_check;
    QWidget *m_done;
    QWidget *m_failure = nullptr;
    QLabel *m_source;
    QVBoxLayout *m_resultArea;
    QPointer<GeminiExchange> m_exchange;
};

// The hotkey, a box to dictate into, and the failure of a dictation made here.
class TryItStep : public QWidget
{
    Q_OBJECT
public:
    explicit TryItStep(OnboardingView *guide);
    QComboBox *hotkeyPicker() const { return m_hotkey; }
    QPlainTextEdit *sampleBox() const { return m_sample; }
    QCheckBox *launchAtLoginBox() const { return m_launchAtLogin; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refreshFooter();

    OnboardingView *m_guide;
    QComboBox *m_hotkey;
    QPlainTextEdit *m_sample;
    QVBoxLayout *m_footer;
    QWidget *m_footerContent = nullptr;
    QCheckBox *m_launchAtLogin;
};
