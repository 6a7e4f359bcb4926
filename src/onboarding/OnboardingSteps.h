#pragma once

#include "onboarding/AccessibilityStep.h"
#include "onboarding/GeminiStep.h"
#include "onboarding/LanguagesStep.h"
#include "onboarding/MicrophoneStep.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/TryItStep.h"

#include <functional>

class AppState;
class QVBoxLayout;
class QWidget;
struct Config;

// The page of a step, built afresh for every visit; each page has its own file.
QWidget *makeStepPage(OnboardingView::Step step, OnboardingView *guide);

// What the pages share.
namespace Steps {

// The page's column: no margins, 14 px between its parts, at the top left.
QVBoxLayout *column(QWidget *page);
// Changes the settings through the app's state, which saves and announces them.
void editConfig(AppState *state, const std::function<void(Config &)> &edit);

} // namespace Steps
