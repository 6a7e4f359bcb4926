#include "ui/main/SettingsStyle.h"

#include "state/AppState.h"

#include <QFormLayout>
#include <QFrame>
#include <QVBoxLayout>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initWindowResources()
{
    Q_INIT_RESOURCE(mainwindow);
}

namespace SettingsStyle {

void initSymbols()
{
    static const bool done = [] {
        initWindowResources();
        return true;
    }();
    Q_UNUSED(done);
}

QColor secondary(const QWidget *w)
{
    QColor c = w->palette().color(QPalette::WindowText);
    c.setAlphaF(0.6f);
    return c;
}

QLabel *caption(const QString &text, bool smaller, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    QFont f = label->font();
    f.setPointSizeF(f.pointSizeF() * (smaller ? 0.8 : 0.88));
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, secondary(label));
    label->setPalette(p);
    return label;
}

QLabel *valueLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setFixedWidth(62);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace SettingsStyle

SettingsSection::SettingsSection(const QString &title, AppState *state, QWidget *parent)
    : QWidget(parent), m_state(state), m_form(new QFormLayout)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (!title.isEmpty()) {
        auto *header = new QLabel(title);
        QFont f = header->font();
        f.setBold(true);
        header->setFont(f);
        header->setContentsMargins(4, 0, 0, 0);
        layout->addWidget(header);
    }
    auto *card = new QFrame;
    card->setObjectName(QStringLiteral("settingsCard"));
    card->setStyleSheet(
        QStringLiteral("QFrame#settingsCard { background: palette(base); "
                       "border: 1px solid palette(midlight); border-radius: 8px; }"));
    m_form->setContentsMargins(14, 12, 14, 12);
    m_form->setHorizontalSpacing(14);
    m_form->setVerticalSpacing(8);
    m_form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    card->setLayout(m_form);
    layout->addWidget(card);
}

const Config &SettingsSection::config() const
{
    return m_state->config();
}

void SettingsSection::edit(const std::function<void(Config &)> &change)
{
    Config c = m_state->config();
    change(c);
    m_state->setConfig(c);
}

void SettingsSection::follow()
{
    connect(m_state, &AppState::configChanged, this, &SettingsSection::refresh);
    refresh();
}
