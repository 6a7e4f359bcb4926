#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QVBoxLayout;
class OnboardingView;

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
