#include "onboarding/TryItStep.h"

#include "state/AppState.h"
#include "onboarding/OnboardingSteps.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/OnboardingWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

TryItStep::TryItStep(OnboardingView *guide)
    : m_guide(guide), m_hotkey(new QComboBox), m_sample(new QPlainTextEdit),
      m_footer(new QVBoxLayout), m_launchAtLogin(new QCheckBox(tr("Start Vesk Voice at login")))
{
    QVBoxLayout *layout = Steps::column(this);
    layout->addWidget(new StepHeader(
        QStringLiteral("checkmark.seal"), tr("Try it"),
        tr("Click in the box, hold the keys below, say a sentence and let go. The text appears "
           "where the cursor is — here now, and in any app later.")));

    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Hold to talk")));
    for (HotkeyKind kind :
         {HotkeyKind::control, HotkeyKind::controlFn, HotkeyKind::fn, HotkeyKind::rightCommand})
        m_hotkey->addItem(guide->services().hotkeyLabel ? guide->services().hotkeyLabel(kind)
                                                        : rawValue(kind),
                          rawValue(kind));
    m_hotkey->setCurrentIndex(m_hotkey->findData(rawValue(guide->state()->config().hotkey)));
    m_hotkey->setMaximumWidth(300);
    row->addWidget(m_hotkey);
    row->addStretch(1);
    layout->addLayout(row);
    connect(m_hotkey, &QComboBox::currentIndexChanged, this, [this](int index) {
        const auto kind = hotkeyKindFromRaw(m_hotkey->itemData(index).toString());
        if (!kind)
            return;
        Steps::editConfig(m_guide->state(), [&](Config &c) { c.hotkey = *kind; });
        // At once, so that the very next hold uses the new key.
        m_guide->onSave()(m_guide->state()->config());
        // And the box has the focus again, or the next dictation would land in the picker.
        QTimer::singleShot(0, m_sample, [this] { m_sample->setFocus(Qt::OtherFocusReason); });
    });

    m_sample->setFixedHeight(110);
    m_sample->setObjectName(QStringLiteral("sampleBox"));
    m_sample->setStyleSheet(
        QStringLiteral("#sampleBox { border: 1px solid rgba(128, 128, 128, 77); "
                       "border-radius: 6px; padding: 4px; }"));
    layout->addWidget(m_sample);

    m_footer->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_footer);

    m_launchAtLogin->setObjectName(QStringLiteral("launchAtLogin"));
    m_launchAtLogin->setChecked(guide->state()->config().launchAtLogin);
    connect(m_launchAtLogin, &QCheckBox::toggled, this, [this](bool on) {
        Steps::editConfig(m_guide->state(), [&](Config &c) { c.launchAtLogin = on; });
        m_guide->onSave()(m_guide->state()->config());
    });
    layout->addWidget(m_launchAtLogin);
    connect(guide->state(), &AppState::changed, this, &TryItStep::refreshFooter);
    refreshFooter();
}

void TryItStep::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // So that the first dictation lands here.
    QTimer::singleShot(0, m_sample, [this] { m_sample->setFocus(Qt::OtherFocusReason); });
}

void TryItStep::refreshFooter()
{
    const AppState *s = m_guide->state();
    const bool failed = s->phase() == AppState::Phase::failed && !s->message().isEmpty();
    const QString text =
        failed ? s->message()
               : tr("You can also click the floating button at the bottom of the screen. "
                    "Everything you say is kept in History.");
    if (m_footerContent && m_footerContent->property("footerText") == text)
        return;
    delete m_footerContent;
    m_footerContent = failed ? GuideStyle::warningLine(text) : GuideStyle::caption(text);
    m_footerContent->setProperty("footerText", text);
    m_footer->addWidget(m_footerContent);
}
