#include "ui/main/RecordingSection.h"

#include "state/AppState.h"
#include "desktop/HotkeyKindInfo.h"
#include "desktop/NewlineMode.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QHBoxLayout>
#include <QSlider>
#include <algorithm>

namespace {

void select(QComboBox *box, const QVariant &value)
{
    const int index = box->findData(value);
    if (box->currentIndex() != index) {
        const QSignalBlocker block(box);
        box->setCurrentIndex(index);
    }
}

void setChecked(QCheckBox *box, bool on)
{
    if (box->isChecked() != on) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
}

} // namespace

qint64 RecordingSection::holdMsForPosition(int position)
{
    return holdMinMs +
           qint64(qBound(0, position, (holdMaxMs - holdMinMs) / holdStepMs)) * holdStepMs;
}

int RecordingSection::positionForHoldMs(qint64 ms)
{
    const qint64 clamped = std::clamp<qint64>(ms, holdMinMs, holdMaxMs);
    return int((clamped - holdMinMs + holdStepMs / 2) / holdStepMs);
}

RecordingSection::RecordingSection(AppState *state, QWidget *parent)
    : SettingsSection(tr("Recording"), state, parent), m_hotkey(new QComboBox),
      m_keyAdvice(SettingsStyle::caption(QString())), m_keyLines(new QLabel),
      m_readInputDevices(
          new QCheckBox(tr("Read the hold key from the keyboard (needs the input group)"))),
      m_hold(new QSlider(Qt::Horizontal)), m_holdValue(SettingsStyle::valueLabel()),
      m_insertWith(new QComboBox),
      m_pastesTypedNote(SettingsStyle::caption(
          tr("This desktop lets no app set the clipboard for another window, so text is typed, "
             "and only the characters of your keyboard layout arrive: ʻ, dashes, letters of other "
             "alphabets (Cyrillic on a Latin layout), Chinese characters and emoji are left "
             "out."))),
      m_lineBreak(new QComboBox),
      m_lineBreakNote(SettingsStyle::caption(tr(
          "A plain Return sends the message in a chat. Shift + Return only starts a new line."))),
      m_spaceBetween(new QCheckBox(tr("Space between dictations"))),
      m_hud(new QCheckBox(tr("Show the floating button"))),
      m_noTrayNote(SettingsStyle::caption(
          tr("Your desktop shows no tray icons (on GNOME the AppIndicator extension adds them), "
             "so the floating button stays on screen."))),
      m_sounds(new QCheckBox(tr("Play sounds")))
{
    m_hotkey->setObjectName(QStringLiteral("hotkey"));
    for (HotkeyKind kind : HotkeyKindInfo::all())
        m_hotkey->addItem(HotkeyKindInfo::label(kind), rawValue(kind));
    connect(m_hotkey, &QComboBox::activated, this, [this](int index) {
        if (const auto kind = hotkeyKindFromRaw(m_hotkey->itemData(index).toString()))
            edit([&](Config &c) { c.hotkey = *kind; });
    });
    form()->addRow(tr("Hold to talk"), m_hotkey);

    m_keyAdvice->setObjectName(QStringLiteral("holdKeyAdvice"));
    form()->addRow(QString(), m_keyAdvice);
    // Lines to copy into the compositor's configuration.
    m_keyLines->setObjectName(QStringLiteral("holdKeyLines"));
    m_keyLines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_keyLines->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form()->addRow(QString(), m_keyLines);
    m_readInputDevices->setObjectName(QStringLiteral("readInputDevices"));
    connect(m_readInputDevices, &QCheckBox::toggled, this,
            [this](bool on) { edit([&](Config &c) { c.readInputDevices = on; }); });
    form()->addRow(m_readInputDevices);
    connect(state, &AppState::holdKeyAdviceChanged, this, &RecordingSection::refresh);
    connect(state, &AppState::trayAvailableChanged, this, &RecordingSection::refresh);

    // The slider counts grid steps, so no position lies off the 50 ms grid.
    m_hold->setObjectName(QStringLiteral("holdFor"));
    m_hold->setRange(0, (holdMaxMs - holdMinMs) / holdStepMs);
    m_hold->setSingleStep(1);
    m_hold->setPageStep(2);
    m_holdValue->setObjectName(QStringLiteral("holdForValue"));
    connect(m_hold, &QSlider::valueChanged, this, [this](int position) {
        edit([&](Config &c) { c.holdThresholdMs = holdMsForPosition(position); });
    });
    auto *holdRow = new QHBoxLayout;
    holdRow->setSpacing(8);
    holdRow->addWidget(m_hold, 1);
    holdRow->addWidget(m_holdValue);
    form()->addRow(tr("Hold for"), holdRow);

    m_insertWith->setObjectName(QStringLiteral("insertWith"));
    m_insertWith->addItem(tr("Paste (Cmd+V)"), QStringLiteral("paste"));
    m_insertWith->addItem(tr("Type characters"), QStringLiteral("type"));
    connect(m_insertWith, &QComboBox::activated, this, [this](int index) {
        const QString method = m_insertWith->itemData(index).toString();
        edit([&](Config &c) { c.insertMethod = method; });
    });
    form()->addRow(tr("Insert with"), m_insertWith);
    m_pastesTypedNote->setObjectName(QStringLiteral("pastesTypedNote"));
    form()->addRow(QString(), m_pastesTypedNote);
    connect(state, &AppState::pasteAvailableChanged, this, &RecordingSection::refresh);

    m_lineBreak->setObjectName(QStringLiteral("lineBreak"));
    for (NewlineMode mode : NewlineModes::all())
        m_lineBreak->addItem(NewlineModes::label(mode), NewlineModes::rawValue(mode));
    connect(m_lineBreak, &QComboBox::activated, this, [this](int index) {
        const QString mode = m_lineBreak->itemData(index).toString();
        edit([&](Config &c) { c.newlineMode = mode; });
    });
    form()->addRow(tr("Line break"), m_lineBreak);
    m_lineBreakNote->setObjectName(QStringLiteral("lineBreakNote"));
    form()->addRow(QString(), m_lineBreakNote);

    m_spaceBetween->setObjectName(QStringLiteral("spaceBetweenDictations"));
    connect(m_spaceBetween, &QCheckBox::toggled, this,
            [this](bool on) { edit([&](Config &c) { c.spaceBetweenDictations = on; }); });
    form()->addRow(m_spaceBetween);
    form()->addRow(SettingsStyle::caption(
        tr("A dictation into the same window within a minute of the one before starts with a "
           "space, so that sentences do not run together.")));

    m_hud->setObjectName(QStringLiteral("showFloatingButton"));
    connect(m_hud, &QCheckBox::toggled, this,
            [this](bool on) { edit([&](Config &c) { c.hudVisible = on; }); });
    form()->addRow(m_hud);
    m_noTrayNote->setObjectName(QStringLiteral("noTrayNote"));
    form()->addRow(QString(), m_noTrayNote);
    m_sounds->setObjectName(QStringLiteral("playSounds"));
    connect(m_sounds, &QCheckBox::toggled, this,
            [this](bool on) { edit([&](Config &c) { c.sounds = on; }); });
    form()->addRow(m_sounds);

    follow();
}

void RecordingSection::refresh()
{
    const Config &c = config();
    select(m_hotkey, rawValue(c.hotkey));

    const int position = positionForHoldMs(c.holdThresholdMs);
    if (m_hold->value() != position) {
        const QSignalBlocker block(m_hold);
        m_hold->setValue(position);
    }
    m_holdValue->setText(QString::number(c.holdThresholdMs) + QStringLiteral(" ms"));

    select(m_insertWith, c.insertMethod);
    const bool typing = c.insertMethod == QLatin1String("type");
    // Typed text loses the same characters whichever method is chosen.
    form()->setRowVisible(m_pastesTypedNote, !state()->pasteAvailable());
    form()->setRowVisible(m_lineBreak, typing);
    form()->setRowVisible(m_lineBreakNote, typing);
    select(m_lineBreak, c.newlineMode);

    const HoldKeyAdvice &advice = state()->holdKeyAdvice();
    m_keyAdvice->setText((advice.summary + u' ' + advice.action).trimmed());
    form()->setRowVisible(m_keyAdvice, !advice.isEmpty());
    m_keyLines->setText(advice.lines.join(u'\n'));
    form()->setRowVisible(m_keyLines, !advice.lines.isEmpty());
    form()->setRowVisible(m_readInputDevices, advice.offerInputDevices);
    // The desktop's shortcut or bindings name their own key; the choice counts where the app
    // reads the keys itself.
    m_hotkey->setEnabled(advice.isEmpty() || (advice.offerInputDevices && c.readInputDevices));
    setChecked(m_readInputDevices, c.readInputDevices);

    setChecked(m_spaceBetween, c.spaceBetweenDictations);
    setChecked(m_hud, c.hudVisible);
    form()->setRowVisible(m_noTrayNote, !state()->trayAvailable());
    setChecked(m_sounds, c.sounds);
}
