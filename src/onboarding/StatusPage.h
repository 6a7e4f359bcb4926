#pragma once

#include <QWidget>

class QVBoxLayout;
class OnboardingView;

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
