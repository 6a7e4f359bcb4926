#include "onboarding/AccessibilityStep.h"

#include "state/AppState.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/OnboardingWidgets.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// What the page is about: on X11 the server itself lets the app see the key and type; a Wayland
// desktop decides (the ways are listed below the text).
QString accessibilityText(OnboardingView *guide)
{
    if (guide->services().waylandSession && guide->services().waylandSession())
        return AccessibilityStep::tr(
            "macOS asks for this so Vesk Voice can notice the hotkey in any app and type the text "
            "where your cursor is. It never saves or sends anything you type.");
    return AccessibilityStep::tr(
        "Vesk Voice notices the hotkey in any app and types the text where your cursor is "
        "through the X server's XInput2 and XTEST extensions. It never saves or sends anything "
        "you type.");
}

} // namespace

AccessibilityStep::AccessibilityStep(OnboardingView *guide)
    : StatusPage(guide, new StepHeader(QStringLiteral("keyboard"), tr("Accessibility"),
                                       accessibilityText(guide)))
{
    rebuild();
    connect(guide->state(), &AppState::accessibilityGrantedChanged, this,
            &AccessibilityStep::rebuild);
    connect(guide->state(), &AppState::holdKeyAdviceChanged, this, &AccessibilityStep::rebuild);
}

void AccessibilityStep::fill(QVBoxLayout *layout)
{
    OnboardingView *guide = m_guide;
    if (guide->state()->accessibilityGranted()) {
        layout->addWidget(new StatusLine(true, tr("Accessibility allowed")));
        return;
    }
    const bool wayland = guide->services().waylandSession && guide->services().waylandSession();
    // On Wayland the desktop decides how the hold key reaches the app: say which way is taken.
    const HoldKeyAdvice &advice = guide->state()->holdKeyAdvice();
    if (wayland) {
        // Nothing changes here while the session runs: say what does.
        QStringList steps;
        if (advice.isEmpty())
            steps << tr("Log out, choose an X11 (Xorg) session on the login screen, and start "
                        "Vesk Voice there.")
                  << tr("Or stay in Wayland and give the command vesk-voice toggle a keyboard "
                        "shortcut in your desktop's settings: one press starts a dictation, the "
                        "next sends it. The text is kept in History to copy from there.");
        else if (!advice.ready && !advice.action.isEmpty())
            steps << advice.action;
        if (!steps.isEmpty())
            layout->addWidget(new NumberedSteps(steps));
        if (!advice.lines.isEmpty()) {
            auto *lines = new QLabel(advice.lines.join(u'\n'));
            lines->setObjectName(QStringLiteral("holdKeyLines"));
            lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            lines->setTextInteractionFlags(Qt::TextSelectableByMouse);
            layout->addWidget(lines);
        }
    } else {
        layout->addWidget(new NumberedSteps(
            {tr("Press the button below. System Settings opens."),
             tr("Find Vesk Voice in the list and turn it on. If it is not there, press +, open "
                "Applications and choose Vesk Voice."),
             tr("Come back here. This screen updates by itself.")}));
    }
    auto *open = new QPushButton(tr("Open System Settings"));
    connect(open, &QPushButton::clicked, guide, [guide] {
        const GuideServices &s = guide->services();
        if (s.promptForTrust)
            s.promptForTrust();
        if (s.openAccessibilitySettings)
            s.openAccessibilitySettings();
    });
    layout->addWidget(open, 0, Qt::AlignLeft);
    if (wayland && !advice.isEmpty())
        layout->addWidget(new StatusLine(advice.ready, advice.summary, true));
    else
        layout->addWidget(new StatusLine(false,
                                         wayland
                                             ? tr("The hotkey cannot work in a Wayland session.")
                                             : tr("Waiting for permission..."),
                                         true));
}
