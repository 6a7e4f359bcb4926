#pragma once

#include "onboarding/StatusPage.h"

class OnboardingView;

class AccessibilityStep : public StatusPage
{
    Q_OBJECT
public:
    explicit AccessibilityStep(OnboardingView *guide);

protected:
    void fill(QVBoxLayout *layout) override;
};
