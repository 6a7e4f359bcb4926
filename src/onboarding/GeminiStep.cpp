#include "onboarding/GeminiStep.h"

#include "state/AppState.h"
#include "transcription/GeminiClient.h"
#include "transcription/GeminiExchange.h"
#include "onboarding/OnboardingSteps.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/OnboardingWidgets.h"
#include "Symbols.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

QUrl GeminiStep::aiStudioUrl()
{
    return QUrl(QStringLiteral("https://aistudio.google.com/apikey"));
}

GeminiStep::GeminiStep(OnboardingView *guide)
    : m_guide(guide), m_key(new QLineEdit), m_check(new QPushButton), m_done(nullptr),
      m_source(GuideStyle::caption(tr("The key in the GEMINI_API_KEY environment variable is "
                                      "used, as none is stored."))),
      m_resultArea(new QVBoxLayout)
{
    QVBoxLayout *layout = Steps::column(this);
    layout->addWidget(new StepHeader(QStringLiteral("key"), tr("Gemini API key"),
                                     tr("Google Gemini turns your voice into text. You need your "
                                        "own free key — it takes about a minute.")));
    layout->addWidget(
        new NumberedSteps({tr("Open Google AI Studio and sign in with your Google account."),
                           tr("Press Create API key. If asked, create a project first."),
                           tr("Copy the key and paste it below.")}));

    auto *link = new QPushButton(tr("Open Google AI Studio"));
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setIcon(Symbols::icon(QStringLiteral("arrow.up.right.square"), GuideStyle::accent(this)));
    link->setObjectName(QStringLiteral("aiStudioLink"));
    connect(link, &QPushButton::clicked, this, [guide] {
        if (guide->services().openUrl)
            guide->services().openUrl(aiStudioUrl());
    });
    layout->addWidget(link, 0, Qt::AlignLeft);

    auto *row = new QHBoxLayout;
    m_key->setEchoMode(QLineEdit::Password);
    m_key->setPlaceholderText(tr("API key"));
    m_key->setText(guide->state()->config().apiKey);
    row->addWidget(m_key, 1);
    row->addWidget(m_check);
    layout->addLayout(row);
    connect(m_key, &QLineEdit::textEdited, this, [this](const QString &text) {
        Steps::editConfig(m_guide->state(), [&](Config &c) { c.apiKey = text; });
        m_guide->setKeyChecked(false);
        m_guide->setKeyVerified(false);
        m_error.clear();
        refresh();
    });
    connect(m_check, &QPushButton::clicked, this, &GeminiStep::check);
    connect(guide, &OnboardingView::keyCheckedChanged, this, &GeminiStep::refresh);

    m_source->setObjectName(QStringLiteral("keySource"));
    layout->addWidget(m_source);
    m_resultArea->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_resultArea);
    layout->addWidget(GuideStyle::caption(
        tr("The free tier has daily limits, and Google may use free-tier requests to improve its "
           "products. Turning on billing in AI Studio removes both.")));
    refresh();
    // A key that is already there (stored, or in the environment) is checked before anything
    // says it works.
    if (guide->keyChecked() && !guide->keyVerified())
        QTimer::singleShot(0, this, &GeminiStep::check);
}

GeminiStep::~GeminiStep()
{
    if (m_exchange)
        m_exchange->cancel();
}

void GeminiStep::check()
{
    m_busy = true;
    m_error.clear();
    Steps::editConfig(m_guide->state(), [](Config &c) { c.apiKey = c.apiKey.trimmed(); });
    m_key->setText(m_guide->state()->config().apiKey);
    refresh();
    // The resolved key: the stored one, or the environment's when none is stored.
    const GeminiClient client = GeminiClient::from(m_guide->state()->config());
    QPointer<GeminiStep> self(this);
    m_exchange = client.listModels(this, [self](const GeminiClient::Listing &models) {
        if (!self)
            return;
        self->m_busy = false;
        if (models.ok()) {
            AppState *state = self->m_guide->state();
            const GeminiAnswers::ModelListing &listing = models.value();
            if (const auto picked = GeminiClient::pickModel(listing.names, state->config().model))
                Steps::editConfig(state, [&](Config &c) {
                    c.model = *picked;
                    c.liveModels = listing.streamingOnly;
                });
            self->m_guide->setKeyVerified(true);
            self->m_guide->setKeyChecked(true);
        } else {
            self->m_error = models.error().description();
        }
        self->refresh();
    });
}

void GeminiStep::refresh()
{
    const Config &config = m_guide->state()->config();
    // Without a stored key, the environment's is the one checked and used.
    const bool fromEnvironment =
        m_key->text().trimmed().isEmpty() && !config.resolvedApiKey().trimmed().isEmpty();
    m_source->setVisible(fromEnvironment);
    m_check->setText(m_busy ? tr("Checking...") : tr("Check key"));
    m_check->setEnabled(!m_busy && !config.resolvedApiKey().trimmed().isEmpty());

    delete m_done;
    m_done = nullptr;
    delete m_failure;
    m_failure = nullptr;
    if (m_guide->keyChecked() && m_guide->keyVerified()) {
        m_done =
            new StatusLine(true, tr("The key works. Model: ") + m_guide->state()->config().model);
        m_resultArea->addWidget(m_done);
    } else if (!m_error.isEmpty()) {
        m_failure = GuideStyle::warningLine(m_error);
        m_resultArea->addWidget(m_failure);
    }
}
