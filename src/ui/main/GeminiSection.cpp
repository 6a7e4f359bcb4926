#include "ui/main/GeminiSection.h"

#include "state/AppState.h"
#include "transcription/GeminiClient.h"
#include "ui/main/ListBinding.h"
#include "ui/main/SpokenLanguagesField.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Shows `value` in the combo box whose entries carry it as data; none when no entry has it.
void select(QComboBox *box, const QString &value)
{
    const int index = box->findData(value);
    if (box->currentIndex() != index) {
        const QSignalBlocker block(box);
        box->setCurrentIndex(index);
    }
}

void setTextKeepingCursor(QLineEdit *field, const QString &text)
{
    if (field->text() != text)
        field->setText(text);
}

} // namespace

GeminiSection::GeminiSection(AppState *state, QWidget *parent)
    : SettingsSection(tr("Gemini"), state, parent), m_apiKey(new QLineEdit),
      m_modelField(new QLineEdit), m_modelPicker(new QComboBox), m_load(new QPushButton),
      m_liveNote(SettingsStyle::caption(
          tr("A live model: the words appear beside the floating button while you speak. Past 10 "
             "minutes, or when the connection drops, the recording goes the usual way and the "
             "dictation is only slower."))),
      m_transcription(new QComboBox), m_transcriptionNote(SettingsStyle::caption(QString())),
      m_knownWords(new ListField([this] { return config().customVocabulary; },
                                 [this](const QStringList &words) {
                                     edit([&](Config &c) { c.customVocabulary = words; });
                                 })),
      m_languages(new SpokenLanguagesField(
          [this] { return config().languageCodes; },
          [this](const QStringList &codes) { edit([&](Config &c) { c.languageCodes = codes; }); })),
      m_thinking(new QComboBox), m_prompt(new QPlainTextEdit)
{
    m_apiKey->setObjectName(QStringLiteral("apiKey"));
    m_apiKey->setEchoMode(QLineEdit::Password);
    connect(m_apiKey, &QLineEdit::textEdited, this,
            [this](const QString &text) { edit([&](Config &c) { c.apiKey = text; }); });
    form()->addRow(tr("API key"), m_apiKey);

    m_modelField->setObjectName(QStringLiteral("model"));
    connect(m_modelField, &QLineEdit::textEdited, this,
            [this](const QString &text) { edit([&](Config &c) { c.model = text; }); });
    m_modelPicker->setObjectName(QStringLiteral("modelPicker"));
    m_modelPicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_modelPicker, &QComboBox::activated, this, [this](int index) {
        const QString name = m_modelPicker->itemData(index).toString();
        edit([&](Config &c) { choose(c, name); });
    });
    m_load->setObjectName(QStringLiteral("loadModels"));
    m_load->setAutoDefault(false);
    connect(m_load, &QPushButton::clicked, this, &GeminiSection::loadModels);
    auto *modelRow = new QHBoxLayout;
    modelRow->setSpacing(8);
    modelRow->addWidget(m_modelField, 1);
    modelRow->addWidget(m_modelPicker, 1);
    modelRow->addWidget(m_load);
    form()->addRow(tr("Model"), modelRow);
    m_liveNote->setObjectName(QStringLiteral("liveNote"));
    form()->addRow(QString(), m_liveNote);

    m_transcription->setObjectName(QStringLiteral("transcription"));
    m_transcription->addItem(tr("smart (tidied up)"), QStringLiteral("smart"));
    m_transcription->addItem(tr("verbatim (every word)"), QStringLiteral("verbatim"));
    connect(m_transcription, &QComboBox::activated, this, [this](int index) {
        const QString mode = m_transcription->itemData(index).toString();
        edit([&](Config &c) { c.transcriptionMode = mode; });
    });
    form()->addRow(tr("Transcription"), m_transcription);
    m_transcriptionNote->setObjectName(QStringLiteral("transcriptionNote"));
    form()->addRow(QString(), m_transcriptionNote);

    m_knownWords->setObjectName(QStringLiteral("knownWords"));
    m_knownWords->setPlaceholderText(tr("names the model tends to mishear"));
    form()->addRow(tr("Known words"), m_knownWords);

    // Every model hears better for knowing them, and the prompt names them.
    m_languages->setObjectName(QStringLiteral("languages"));
    form()->addRow(tr("Languages"), m_languages);

    m_thinking->setObjectName(QStringLiteral("thinking"));
    m_thinking->addItem(tr("model default"), QString());
    m_thinking->addItem(tr("low (blocks long audio)"), QStringLiteral("low"));
    m_thinking->addItem(tr("high"), QStringLiteral("high"));
    connect(m_thinking, &QComboBox::activated, this, [this](int index) {
        const QString level = m_thinking->itemData(index).toString();
        edit([&](Config &c) { c.thinkingLevel = level; });
    });
    form()->addRow(tr("Thinking"), m_thinking);

    auto *promptColumn = new QVBoxLayout;
    promptColumn->setSpacing(4);
    promptColumn->addWidget(SettingsStyle::caption(tr("Prompt")));
    promptColumn->addWidget(SettingsStyle::caption(
        tr("The mode and the word list above are added to this automatically."), true));
    m_prompt->setObjectName(QStringLiteral("prompt"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(11);
    m_prompt->setFont(mono);
    m_prompt->setFixedHeight(80);
    m_prompt->setFrameShape(QFrame::NoFrame);
    QColor border = SettingsStyle::secondary(this);
    border.setAlphaF(0.25f);
    m_prompt->setStyleSheet(QStringLiteral("QPlainTextEdit#prompt { border: 1px solid %1; }")
                                .arg(border.name(QColor::HexArgb)));
    m_prompt->setPlainText(config().prompt);
    connect(m_prompt, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = m_prompt->toPlainText();
        edit([&](Config &c) { c.prompt = text; });
    });
    promptColumn->addWidget(m_prompt);
    form()->addRow(promptColumn);

    follow();
}

void GeminiSection::refresh()
{
    const Config &c = config();
    setTextKeepingCursor(m_apiKey, c.apiKey);

    const bool listed = !m_models.isEmpty();
    m_modelField->setVisible(!listed);
    m_modelPicker->setVisible(listed);
    if (!listed)
        setTextKeepingCursor(m_modelField, c.model);
    else
        select(m_modelPicker, c.model);
    m_load->setText(listed ? tr("Reload") : tr("Load"));
    m_load->setEnabled(!m_busy && !c.resolvedApiKey().isEmpty());

    const bool live = GeminiClient::from(c).live;
    form()->setRowVisible(m_liveNote, live);
    select(m_transcription, c.transcriptionMode);
    m_transcriptionNote->setText(
        c.transcriptionMode == QLatin1String("smart")
            ? tr("Drops filler words, resolves spoken corrections, formats numbers and dates.")
            : tr("Writes down exactly what was said."));

    m_knownWords->refresh();
    m_languages->refresh();
    form()->setRowVisible(m_thinking, !c.model.contains(QLatin1String("transcribe")) && !live);
    select(m_thinking, c.thinkingLevel);

    if (m_prompt->toPlainText() != c.prompt) {
        const QSignalBlocker block(m_prompt);
        m_prompt->setPlainText(c.prompt);
    }
}

void GeminiSection::loadModels()
{
    if (m_busy)
        return;
    const GeminiClient client = GeminiClient::from(config());
    if (client.apiKey.isEmpty())
        return;
    m_busy = true;
    Q_EMIT statusChanged(tr("Loading models..."));
    refresh();
    client.listModels(this, [this](const GeminiClient::Listing &result) {
        m_busy = false;
        if (result.ok()) {
            modelsArrived(result.value());
        } else {
            Q_EMIT statusChanged(result.error().description());
            refresh();
        }
    });
}

void GeminiSection::choose(Config &c, const QString &model) const
{
    c.model = model;
    c.liveModels = m_streamingOnly;
}

void GeminiSection::modelsArrived(const GeminiAnswers::ModelListing &listing)
{
    // Their names do not give them away: they are remembered with the choice.
    m_streamingOnly = listing.streamingOnly;
    QStringList kept;
    for (const QString &name : listing.names) {
        if (name.contains(QLatin1String("gemini")) && !name.contains(QLatin1String("embedding")))
            kept.append(name);
    }
    m_models = kept;
    {
        const QSignalBlocker block(m_modelPicker);
        m_modelPicker->clear();
        // A live model writes while the user speaks; the word tells it from the batch ones.
        for (const QString &name : kept)
            m_modelPicker->addItem(listing.live(name) ? tr("%1 (live)").arg(name) : name, name);
    }
    // The picker must show a real choice; the change stays unsaved until "Save".
    if (!kept.isEmpty() && !kept.contains(config().model))
        edit([&](Config &c) { choose(c, kept.first()); });
    Q_EMIT statusChanged(tr("Models available: ") + QString::number(kept.size()));
    refresh();
    Q_EMIT modelsLoaded();
}
