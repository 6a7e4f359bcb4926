#include "ui/main/SettingsView.h"

#include "language/AppLanguagePicker.h"
#include "state/AppState.h"
#include "ui/main/AudioSection.h"
#include "ui/main/GeminiSection.h"
#include "ui/main/RecordingSection.h"
#include "ui/main/SettingsStyle.h"
#include "ui/main/WheelGuard.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The section without a header: the interface language, and starting with the session.
class LanguageSection : public SettingsSection
{
public:
    LanguageSection(AppState *state, std::function<bool()> beforeRestart)
        : SettingsSection(QString(), state),
          m_launchAtLogin(new QCheckBox(SettingsView::tr("Start Vesk Voice at login")))
    {
        auto *picker = new AppLanguagePicker;
        picker->setBeforeRestart(std::move(beforeRestart));
        picker->setObjectName(QStringLiteral("interfaceLanguage"));
        if (auto *inner = picker->findChild<QFormLayout *>())
            inner->setHorizontalSpacing(form()->horizontalSpacing());
        form()->addRow(picker);
        form()->addRow(SettingsStyle::caption(
            SettingsView::tr("Vesk Voice restarts to switch the language.")));
        m_launchAtLogin->setObjectName(QStringLiteral("launchAtLogin"));
        connect(m_launchAtLogin, &QCheckBox::toggled, this,
                [this](bool on) { edit([&](Config &c) { c.launchAtLogin = on; }); });
        form()->addRow(m_launchAtLogin);
        follow();
    }

protected:
    void refresh() override
    {
        if (m_launchAtLogin->isChecked() != config().launchAtLogin) {
            const QSignalBlocker block(m_launchAtLogin);
            m_launchAtLogin->setChecked(config().launchAtLogin);
        }
    }

private:
    QCheckBox *m_launchAtLogin;
};

} // namespace

SettingsView::SettingsView(AppState *state, OnSave onSave, SettingsServices services,
                           QWidget *parent)
    : QScrollArea(parent), m_state(state), m_onSave(std::move(onSave)),
      m_services(std::move(services)), m_gemini(new GeminiSection(state)),
      m_recording(new RecordingSection(state)), m_audio(new AudioSection(state, m_services)),
      m_statusSection(new QWidget), m_statusLabel(SettingsStyle::caption(QString())),
      m_save(new QPushButton(tr("Save")))
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("settingsContent"));
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(20, 16, 20, 20);
    column->setSpacing(18);

    auto *title = new QLabel(tr("Settings"));
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.35);
    f.setBold(true);
    title->setFont(f);
    column->addWidget(title);

    column->addWidget(new LanguageSection(state, [this] { return readyToRestart(); }));
    column->addWidget(m_gemini);
    column->addWidget(m_recording);
    column->addWidget(m_audio);

    auto *statusLayout = new QVBoxLayout(m_statusSection);
    statusLayout->setContentsMargins(4, 0, 4, 0);
    m_statusLabel->setObjectName(QStringLiteral("status"));
    m_statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusLayout->addWidget(m_statusLabel);
    m_statusSection->setVisible(false);
    column->addWidget(m_statusSection);

    auto *buttons = new QHBoxLayout;
    auto *openConfig = new QPushButton(tr("Open config file"));
    openConfig->setObjectName(QStringLiteral("openConfigFile"));
    openConfig->setAutoDefault(false);
    connect(openConfig, &QPushButton::clicked, this, &SettingsView::openConfigFile);
    buttons->addWidget(openConfig);
    buttons->addStretch(1);
    m_save->setObjectName(QStringLiteral("save"));
    m_save->setDefault(true);
    connect(m_save, &QPushButton::clicked, this, &SettingsView::save);
    buttons->addWidget(m_save);
    column->addLayout(buttons);
    column->addStretch(1);
    setWidget(content);
    WheelGuard::protect(content);

    // One label column for the whole form, so the sections line up.
    int labelWidth = 0;
    const QList<QFormLayout *> forms = content->findChildren<QFormLayout *>();
    for (QFormLayout *form : forms) {
        for (int row = 0; row < form->rowCount(); ++row) {
            if (QLayoutItem *label = form->itemAt(row, QFormLayout::LabelRole);
                label && label->widget())
                labelWidth = qMax(labelWidth, label->widget()->sizeHint().width());
        }
    }
    for (QFormLayout *form : forms) {
        for (int row = 0; row < form->rowCount(); ++row) {
            if (QLayoutItem *label = form->itemAt(row, QFormLayout::LabelRole);
                label && label->widget())
                label->widget()->setMinimumWidth(labelWidth);
        }
    }

    connect(m_gemini, &GeminiSection::statusChanged, this, &SettingsView::setStatus);
}

void SettingsView::setStatus(const QString &status)
{
    m_status = status;
    m_statusLabel->setText(status);
    m_statusSection->setVisible(!status.isEmpty());
}

void SettingsView::save()
{
    if (m_onSave)
        m_onSave(m_state->config());
    setStatus(tr("Saved."));
}

bool SettingsView::hasUnsavedEdits() const
{
    const Config &saved = m_state->savedConfig();
    Config now = m_state->config();
    // The floating button's place is saved by itself once it rests.
    now.hudX = saved.hudX;
    now.hudY = saved.hudY;
    return now != saved;
}

bool SettingsView::readyToRestart()
{
    if (!hasUnsavedEdits())
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vesk Voice"),
                    tr("Save the changed settings before Vesk Voice restarts?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setInformativeText(tr("Settings that are not saved are lost when it restarts."));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        save();
        return true;
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void SettingsView::openConfigFile()
{
    if (m_services.revealFile)
        m_services.revealFile(Config::fileURL());
}

void SettingsView::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        m_save->click();
        return;
    }
    QScrollArea::keyPressEvent(event);
}
