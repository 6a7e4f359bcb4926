#include "onboarding/OnboardingView.h"

#include "state/AppState.h"
#include "onboarding/OnboardingSteps.h"
#include "onboarding/OnboardingWidgets.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

OnboardingView::OnboardingView(AppState *state, OnSave onSave, OnFinish onFinish,
                               MicStatus micStatus, GuideServices services, QWidget *parent)
    : QDialog(parent), m_state(state), m_onSave(std::move(onSave)), m_onFinish(std::move(onFinish)),
      m_services(std::move(services)), m_micStatus(micStatus), m_dots(new ProgressDots(stepCount)),
      m_pageArea(new QVBoxLayout), m_back(new QPushButton(tr("Back"))),
      m_next(new QPushButton(tr("Next"))), m_finish(new QPushButton(tr("Finish")))
{
    setWindowTitle(QStringLiteral("Vesk Voice"));
    setFixedSize(580, 520);
    // Not modal: the user dictates into other windows from the last page.
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 18, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_dots, 0, Qt::AlignHCenter);
    m_pageArea->setContentsMargins(32, 20, 32, 20);
    layout->addLayout(m_pageArea, 1);
    auto *divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(16, 16, 16, 16);
    buttons->addWidget(m_back);
    buttons->addStretch(1);
    buttons->addWidget(m_next);
    buttons->addWidget(m_finish);
    layout->addLayout(buttons);

    for (QPushButton *b : {m_back, m_next, m_finish})
        b->setAutoDefault(false);
    connect(m_back, &QPushButton::clicked, this, [this] { move(-1); });
    connect(m_next, &QPushButton::clicked, this, [this] { move(+1); });
    connect(m_finish, &QPushButton::clicked, this, &OnboardingView::finish);
    // Return is the default button's, except in the last page's sample box, where it is a line
    // break (a dictation there may type one). Ctrl+Return goes on from anywhere.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(Qt::CTRL | key), this), &QShortcut::activated, this,
                [this] {
                    QPushButton *onward = m_step == Step::tryIt ? m_finish : m_next;
                    if (onward->isEnabled())
                        onward->click();
                });
    }
    m_finish->setToolTip(tr("Ctrl+Enter"));
    connect(m_state, &AppState::changed, this, &OnboardingView::updateButtons);

    m_micTimer.setInterval(1000);
    connect(&m_micTimer, &QTimer::timeout, this, [this] {
        if (m_services.micStatus)
            setMicStatus(m_services.micStatus());
    });
    showStep();
}

void OnboardingView::move(int by)
{
    m_onSave(m_state->config());
    const int next = int(m_step) + by;
    if (next < 0 || next >= stepCount)
        return;
    m_step = Step(next);
    showStep();
    Q_EMIT stepChanged(m_step);
}

bool OnboardingView::canContinue() const
{
    switch (m_step) {
    case Step::languages:
        return !m_state->config().languageCodes.isEmpty();
    case Step::microphone:
        return m_micStatus == MicStatus::authorized;
    case Step::accessibility:
        // A Wayland session never grants it while the program runs: waiting would hold the
        // user here for good, so the page says what to do and lets them go on.
        return m_state->accessibilityGranted() ||
               (m_services.waylandSession && m_services.waylandSession());
    case Step::gemini:
        return m_keyChecked;
    case Step::tryIt:
        return true;
    }
    return false;
}

void OnboardingView::finish()
{
    Config c = m_state->config();
    c.onboardingDone = true;
    m_state->setConfig(c);
    m_onSave(c);
    m_onFinish();
}

void OnboardingView::setKeyChecked(bool checked)
{
    if (m_keyChecked == checked)
        return;
    m_keyChecked = checked;
    updateButtons();
    Q_EMIT keyCheckedChanged(checked);
}

void OnboardingView::setMicStatus(MicStatus status)
{
    if (m_micStatus == status)
        return;
    m_micStatus = status;
    updateButtons();
    Q_EMIT micStatusChanged(status);
}

void OnboardingView::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_appeared) {
        m_appeared = true;
        // Someone with a key already (stored or in the environment) is not held at that page.
        setKeyChecked(!m_state->config().resolvedApiKey().isEmpty());
    }
    m_micTimer.start();
}

void OnboardingView::hideEvent(QHideEvent *event)
{
    m_micTimer.stop();
    QDialog::hideEvent(event);
}

void OnboardingView::showStep()
{
    // Page-local state starts afresh on every visit.
    if (m_page) {
        m_pageArea->removeWidget(m_page);
        m_page->deleteLater();
    }
    m_page = makeStepPage(m_step, this);
    for (QPushButton *b : m_page->findChildren<QPushButton *>())
        b->setAutoDefault(false);
    // Aligned to the top only: the page takes the whole width, and its texts wrap to it.
    m_pageArea->addWidget(m_page, 1, Qt::AlignTop);
    m_page->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_dots->setCurrent(int(m_step));
    updateButtons();
}

void OnboardingView::updateButtons()
{
    const bool last = m_step == Step::tryIt;
    m_back->setVisible(m_step != Step::languages);
    m_next->setVisible(!last);
    m_finish->setVisible(last);
    m_next->setEnabled(canContinue());
    m_next->setDefault(!last);
    m_finish->setDefault(last);
}
