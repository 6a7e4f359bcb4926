#include "onboarding/MicrophoneStep.h"

#include "state/AppState.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/OnboardingWidgets.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

MicrophoneStep::MicrophoneStep(OnboardingView *guide)
    : StatusPage(guide, new StepHeader(QStringLiteral("mic"), tr("Microphone"),
                                       tr("Vesk Voice records only while you hold the key or "
                                          "press the floating button.")))
{
    // Quiet this long, and the page says so.
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(4000);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (m_silence)
            m_silence->show();
    });
    rebuild();
    connect(guide, &OnboardingView::micStatusChanged, this, [this] {
        rebuild();
        listen();
    });
}

void MicrophoneStep::showEvent(QShowEvent *event)
{
    StatusPage::showEvent(event);
    listen();
}

void MicrophoneStep::hideEvent(QHideEvent *event)
{
    // The microphone is not kept open behind a closed guide.
    delete m_listening;
    m_quiet.stop();
    StatusPage::hideEvent(event);
}

void MicrophoneStep::listen()
{
    const GuideServices &s = m_guide->services();
    if (!m_meter || m_listening || !isVisible() || !s.listenToMicrophone)
        return;
    m_listening = new QObject(this);
    QPointer<MicrophoneStep> self(this);
    if (!s.listenToMicrophone(m_guide->state()->config().inputDeviceID, m_listening,
                              [self](double level) {
                                  if (self)
                                      self->heard(level);
                              })) {
        if (m_silence)
            m_silence->show();
        return;
    }
    m_quiet.start();
}

void MicrophoneStep::heard(double level)
{
    if (m_meter)
        m_meter->setValue(int(level * 100));
    // Speech reaches well above this; a dead or muted input stays below.
    if (level >= 0.15) {
        m_quiet.start();
        if (m_silence)
            m_silence->hide();
    }
}

void MicrophoneStep::fill(QVBoxLayout *layout)
{
    OnboardingView *guide = m_guide;
    switch (guide->micStatus()) {
    case MicStatus::notDetermined: {
        auto *allow = new QPushButton(tr("Allow microphone"));
        connect(allow, &QPushButton::clicked, guide, [guide] {
            const GuideServices &s = guide->services();
            const MicStatus now = s.micStatus ? s.micStatus() : MicStatus::notDetermined;
            if (now != MicStatus::notDetermined || !s.requestMicrophone) {
                guide->setMicStatus(now);
                return;
            }
            QPointer<OnboardingView> weak(guide);
            s.requestMicrophone([weak] {
                if (weak && weak->services().micStatus)
                    weak->setMicStatus(weak->services().micStatus());
            });
        });
        layout->addWidget(allow, 0, Qt::AlignLeft);
        break;
    }
    case MicStatus::denied:
    case MicStatus::restricted: {
        layout->addWidget(new StatusLine(false, tr("Microphone access is off")));
        auto *how = new QLabel(tr("Turn on Vesk Voice in System Settings > Privacy & Security > "
                                  "Microphone, then come back."));
        how->setWordWrap(true);
        how->setObjectName(QStringLiteral("microphoneHint"));
        GuideStyle::setCallout(how);
        layout->addWidget(how);
        auto *open = new QPushButton(tr("Open System Settings"));
        connect(open, &QPushButton::clicked, guide, [guide] {
            if (guide->services().openMicrophoneSettings)
                guide->services().openMicrophoneSettings();
        });
        layout->addWidget(open, 0, Qt::AlignLeft);
        break;
    }
    case MicStatus::authorized: {
        layout->addWidget(new StatusLine(true, tr("Microphone allowed")));
        m_meter = new QProgressBar;
        m_meter->setObjectName(QStringLiteral("microphoneLevel"));
        m_meter->setRange(0, 100);
        m_meter->setTextVisible(false);
        m_meter->setFixedSize(280, 8);
        layout->addWidget(m_meter);
        layout->addWidget(GuideStyle::caption(
            tr("Say something: the bar moves while the microphone hears you.")));
        m_silence = GuideStyle::warningLine(
            tr("The microphone hears nothing. Check that it is switched on and not muted, or "
               "pick another one in Settings."));
        m_silence->hide();
        layout->addWidget(m_silence);
        break;
    }
    }
}
