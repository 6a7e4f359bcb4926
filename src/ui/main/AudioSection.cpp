#include "ui/main/AudioSection.h"

#include "state/AppState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <cmath>

double AudioSection::keepSecondsForPosition(int position)
{
    // A division, not a product, so 6 gives exactly the double nearest 0.3.
    return qBound(1, position, 20) / 20.0;
}

int AudioSection::positionForKeepSeconds(double seconds)
{
    return qBound(1, int(std::lround(seconds * 20.0)), 20);
}

AudioSection::AudioSection(AppState *state, SettingsServices services, QWidget *parent)
    : SettingsSection(tr("Audio"), state, parent), m_services(std::move(services)),
      m_microphone(new QComboBox), m_refresh(new QPushButton(tr("Refresh"))),
      m_trim(new QCheckBox(tr("Cut long pauses before sending"))),
      m_keep(new QSlider(Qt::Horizontal)), m_keepValue(SettingsStyle::valueLabel()),
      m_keepAudio(new QCheckBox(tr("Keep audio files (debugging)")))
{
    if (m_services.inputs)
        m_inputs = m_services.inputs();

    m_microphone->setObjectName(QStringLiteral("microphone"));
    m_microphone->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_microphone, &QComboBox::activated, this, [this](int index) {
        const QString id = m_microphone->itemData(index).toString();
        // The name is kept with the id, to name the microphone while it is away.
        const auto input = std::find_if(m_inputs.begin(), m_inputs.end(),
                                        [&](const auto &entry) { return entry.first == id; });
        edit([&](Config &c) {
            if (id != c.inputDeviceID || input != m_inputs.end())
                c.inputDeviceName = input != m_inputs.end() ? input->second : QString();
            c.inputDeviceID = id;
        });
    });
    m_refresh->setObjectName(QStringLiteral("refreshMicrophones"));
    m_refresh->setAutoDefault(false);
    connect(m_refresh, &QPushButton::clicked, this, &AudioSection::refreshInputs);
    auto *micRow = new QHBoxLayout;
    micRow->setSpacing(8);
    micRow->addWidget(m_microphone, 1);
    micRow->addWidget(m_refresh);
    form()->addRow(tr("Microphone"), micRow);
    m_away = SettingsStyle::caption(tr("Until it is back, the system default microphone records."));
    m_away->setObjectName(QStringLiteral("microphoneAway"));
    form()->addRow(QString(), m_away);
    // The note about phones showing up as microphones is left out: no such thing happens here.

    m_trim->setObjectName(QStringLiteral("trimSilence"));
    connect(m_trim, &QCheckBox::toggled, this,
            [this](bool on) { edit([&](Config &c) { c.trimSilence = on; }); });
    form()->addRow(m_trim);

    m_keep->setObjectName(QStringLiteral("keepOfEachPause"));
    m_keep->setRange(1, 20);
    m_keep->setSingleStep(1);
    m_keep->setPageStep(2);
    m_keepValue->setObjectName(QStringLiteral("keepOfEachPauseValue"));
    connect(m_keep, &QSlider::valueChanged, this, [this](int position) {
        edit([&](Config &c) { c.keepSilenceSeconds = keepSecondsForPosition(position); });
    });
    m_keepRow = new QHBoxLayout;
    m_keepRow->setSpacing(8);
    m_keepRow->addWidget(m_keep, 1);
    m_keepRow->addWidget(m_keepValue);
    form()->addRow(tr("Keep of each pause"), m_keepRow);

    m_keepAudio->setObjectName(QStringLiteral("keepAudio"));
    connect(m_keepAudio, &QCheckBox::toggled, this,
            [this](bool on) { edit([&](Config &c) { c.keepAudio = on; }); });
    form()->addRow(m_keepAudio);

    auto *format = new QComboBox;
    format->setObjectName(QStringLiteral("audioFormat"));
    format->addItem(QStringLiteral("WAV"), QStringLiteral("wav"));
    format->addItem(QStringLiteral("FLAC"), QStringLiteral("flac"));
    format->addItem(QStringLiteral("Ogg Vorbis"), QStringLiteral("ogg"));
    connect(format, &QComboBox::activated, this, [this, format](int index) {
        const QString chosen = format->itemData(index).toString();
        edit([&](Config &c) { c.audioFormat = chosen; });
    });
    form()->addRow(tr("Send audio as"), format);
    form()->addRow(SettingsStyle::caption(tr("FLAC is lossless and about half the size of WAV; Ogg "
                                             "Vorbis is a seventh of it, enough for speech, and "
                                             "leaves soonest on a slow link.")));

    follow();
}

void AudioSection::refreshInputs()
{
    m_inputs = m_services.inputs ? m_services.inputs() : QList<std::pair<QString, QString>>();
    refresh();
}

void AudioSection::fillMicrophones()
{
    const QString current = config().inputDeviceID;
    QList<std::pair<QString, QString>> entries{{QString(), tr("System default")}};
    bool connected = current.isEmpty();
    for (const auto &[id, name] : m_inputs) {
        entries.append({id, name});
        connected = connected || id == current;
    }
    // A configured microphone that is away stays chosen, and says what is recorded instead.
    if (!connected) {
        const QString name =
            config().inputDeviceName.isEmpty() ? current : config().inputDeviceName;
        entries.append({current, name + tr(" — not connected")});
    }

    bool same = m_microphone->count() == entries.size();
    for (int i = 0; same && i < entries.size(); ++i)
        same = m_microphone->itemData(i).toString() == entries[i].first &&
               m_microphone->itemText(i) == entries[i].second;
    const QSignalBlocker block(m_microphone);
    if (!same) {
        m_microphone->clear();
        for (const auto &[id, name] : entries)
            m_microphone->addItem(name, id);
    }
    m_microphone->setCurrentIndex(m_microphone->findData(current));
    form()->setRowVisible(m_away, !connected);
}

void AudioSection::refresh()
{
    const Config &c = config();
    fillMicrophones();

    if (m_trim->isChecked() != c.trimSilence) {
        const QSignalBlocker block(m_trim);
        m_trim->setChecked(c.trimSilence);
    }
    form()->setRowVisible(m_keepRow, c.trimSilence);
    const int position = positionForKeepSeconds(c.keepSilenceSeconds);
    if (m_keep->value() != position) {
        const QSignalBlocker block(m_keep);
        m_keep->setValue(position);
    }
    m_keepValue->setText(QString::asprintf("%.2f", c.keepSilenceSeconds) + QStringLiteral("s"));
    if (m_keepAudio->isChecked() != c.keepAudio) {
        const QSignalBlocker block(m_keepAudio);
        m_keepAudio->setChecked(c.keepAudio);
    }
    auto *format = findChild<QComboBox *>(QStringLiteral("audioFormat"));
    if (const int index = format->findData(c.audioFormat); format->currentIndex() != index) {
        const QSignalBlocker block(format);
        format->setCurrentIndex(index);
    }
}
