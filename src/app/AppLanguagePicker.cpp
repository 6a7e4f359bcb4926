#include "AppLanguagePicker.h"

#include "AppLanguage.h"

#include <QComboBox>
#include <QFormLayout>

AppLanguagePicker::AppLanguagePicker(QWidget *parent) : QWidget(parent), m_combo(new QComboBox)
{
    for (const AppLanguage::Choice &choice : AppLanguage::choices())
        m_combo->addItem(choice.name, choice.code.value_or(QString()));
    // An override we have no entry for selects nothing, so that any pick replaces it.
    const QString initial = AppLanguage::chosen().value_or(QString());
    m_combo->setCurrentIndex(m_combo->findData(initial));

    auto *layout = new QFormLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addRow(tr("Interface language"), m_combo);

    connect(m_combo, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0)
            return;
        const QString code = m_combo->itemData(index).toString();
        AppLanguage::choose(code.isEmpty() ? std::nullopt : std::optional<QString>(code));
    });
}

QString AppLanguagePicker::selection() const
{
    return m_combo->currentData().toString();
}
