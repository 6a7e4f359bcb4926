#include "OnboardingSteps.h"

#include "AppState.h"
#include "GeminiClient.h"
#include "GeminiExchange.h"
#include "OnboardingWidgets.h"
#include "SpokenLanguage.h"
#include "Symbols.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

namespace {

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

} // namespace

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

// --- Languages

LanguagesStep::LanguagesStep(OnboardingView *guide)
{
    QVBoxLayout *layout = column(this);
    layout->addWidget(new StepHeader(
        QStringLiteral("character.bubble"), tr("Which languages do you speak?"),
        tr("Pick every language you use, even if you mix them in one sentence. Vesk Voice keeps "
           "each word in the language it was said in.")));
    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(8);
    const QList<SpokenLanguage> &table = SpokenLanguage::all();
    const QStringList selected = guide->state()->config().languageCodes;
    for (int i = 0; i < table.size(); ++i) {
        auto *box = new QCheckBox(table[i].nativeName);
        box->setChecked(selected.contains(table[i].code));
        const QString code = table[i].code;
        connect(box, &QCheckBox::toggled, this, [guide, code](bool on) {
            editConfig(guide->state(), [&](Config &c) {
                QSet<QString> set(c.languageCodes.begin(), c.languageCodes.end());
                if (on)
                    set.insert(code);
                else
                    set.remove(code);
                // Table order, no duplicates; codes the table does not know go.
                c.languageCodes = SpokenLanguage::inTableOrder(QStringList(set.begin(), set.end()));
            });
        });
        grid->addWidget(box, i / 3, i % 3, Qt::AlignLeft);
        m_boxes.append(box);
    }
    for (int c = 0; c < 3; ++c)
        grid->setColumnStretch(c, 1);
    layout->addLayout(grid);
}

// --- Status pages

StatusPage::StatusPage(OnboardingView *guide, QWidget *header)
    : m_guide(guide), m_layout(column(this))
{
    m_layout->addWidget(header);
}

void StatusPage::rebuild()
{
    if (m_body) {
        m_layout->removeWidget(m_body);
        delete m_body;
    }
    m_body = new QWidget;
    auto *layout = new QVBoxLayout(m_body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    fill(layout);
    for (QPushButton *b : m_body->findChildren<QPushButton *>())
        b->setAutoDefault(false);
    m_layout->addWidget(m_body);
}

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

// --- Gemini key

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
    QVBoxLayout *layout = column(this);
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
        editConfig(m_guide->state(), [&](Config &c) { c.apiKey = text; });
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
    editConfig(m_guide->state(), [](Config &c) { c.apiKey = c.apiKey.trimmed(); });
    m_key->setText(m_guide->state()->config().apiKey);
    refresh();
    // The resolved key: the stored one, or the environment's when none is stored.
    const GeminiClient client = GeminiClient::from(m_guide->state()->config());
    QPointer<GeminiStep> self(this);
    m_exchange = client.listModels(this, [self](const GeminiResult<QStringList> &models) {
        if (!self)
            return;
        self->m_busy = false;
        if (models.ok()) {
            AppState *state = self->m_guide->state();
            if (const auto picked = GeminiClient::pickModel(models.value(), state->config().model))
                editConfig(state, [&](Config &c) { c.model = *picked; });
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

// --- Try it

TryItStep::TryItStep(OnboardingView *guide)
    : m_guide(guide), m_hotkey(new QComboBox), m_sample(new QPlainTextEdit),
      m_footer(new QVBoxLayout), m_launchAtLogin(new QCheckBox(tr("Start Vesk Voice at login")))
{
    QVBoxLayout *layout = column(this);
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
        editConfig(m_guide->state(), [&](Config &c) { c.hotkey = *kind; });
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
        editConfig(m_guide->state(), [&](Config &c) { c.launchAtLogin = on; });
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
