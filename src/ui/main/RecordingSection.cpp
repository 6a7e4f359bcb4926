#include "RecordingSection.h"

#include "AppState.h"
#include "HotkeyKindInfo.h"
#include "NewlineMode.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
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
      m_hold(new QSlider(Qt::Horizontal)), m_holdValue(SettingsStyle::valueLabel()),
      m_insertWith(new QComboBox), m_lineBreak(new QComboBox),
      m_lineBreakNote(SettingsStyle::caption(tr(
          "A plain Return sends the message in a chat. Shift + Return only starts a new line."))),
      m_hud(new QCheckBox(tr("Show the floating button"))),
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

    m_hud->setObjectName(QStringLiteral("showFloatingButton"));
    connect(m_hud, &QCheckBox::toggled, this,
            [this](bool on) { edit([&](Config &c) { c.hudVisible = on; }); });
    form()->addRow(m_hud);
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
    form()->setRowVisible(m_lineBreak, typing);
    form()->setRowVisible(m_lineBreakNote, typing);
    select(m_lineBreak, c.newlineMode);

    setChecked(m_hud, c.hudVisible);
    setChecked(m_sounds, c.sounds);
}
