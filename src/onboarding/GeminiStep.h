#pragma once

#include <QPointer>
#include <QUrl>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class GeminiExchange;
class OnboardingView;

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
