#include "onboarding/OnboardingSteps.h"

#include "state/AppState.h"

#include <QVBoxLayout>

namespace Steps {

QVBoxLayout *column(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    return layout;
}

void editConfig(AppState *state, const std::function<void(Config &)> &edit)
{
    Config c = state->config();
    edit(c);
    state->setConfig(c);
}

} // namespace Steps

QWidget *makeStepPage(OnboardingView::Step step, OnboardingView *guide)
{
    switch (step) {
    case OnboardingView::Step::languages:
        return new LanguagesStep(guide);
    case OnboardingView::Step::microphone:
        return new MicrophoneStep(guide);
    case OnboardingView::Step::accessibility:
        return new AccessibilityStep(guide);
    case OnboardingView::Step::gemini:
        return new GeminiStep(guide);
    case OnboardingView::Step::tryIt:
        return new TryItStep(guide);
    }
    return new QWidget;
}
