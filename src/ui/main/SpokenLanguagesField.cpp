#include "ui/main/SpokenLanguagesField.h"

#include "transcription/SpokenLanguage.h"

#include <QCheckBox>
#include <QGridLayout>

SpokenLanguagesField::SpokenLanguagesField(Read read, Write write, QWidget *parent)
    : QWidget(parent), m_read(std::move(read)), m_write(std::move(write)),
      m_grid(new QGridLayout(this))
{
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setVerticalSpacing(6);
    for (int c = 0; c < 3; ++c)
        m_grid->setColumnStretch(c, 1);
    for (const SpokenLanguage &language : SpokenLanguage::all()) {
        auto *box = new QCheckBox(language.nativeName);
        box->setProperty("code", language.code);
        m_grid->addWidget(box, int(m_boxes.size()) / 3, int(m_boxes.size()) % 3);
        connect(box, &QCheckBox::toggled, this, &SpokenLanguagesField::changed);
        m_boxes.append(box);
    }
    m_tableSize = int(m_boxes.size());
    refresh();
}

void SpokenLanguagesField::refresh()
{
    const QStringList codes = m_read();
    // Codes from outside the table: one tick each, after the table's.
    QStringList others = SpokenLanguage::outsideTable(codes);
    // Later: the tick may be the one whose change is being handled.
    while (m_boxes.size() > m_tableSize + others.size()) {
        QCheckBox *gone = m_boxes.takeLast();
        gone->hide();
        gone->deleteLater();
    }
    for (qsizetype i = 0; i < others.size(); ++i) {
        const qsizetype at = m_tableSize + i;
        if (at == m_boxes.size()) {
            auto *box = new QCheckBox;
            m_grid->addWidget(box, int(at) / 3, int(at) % 3);
            connect(box, &QCheckBox::toggled, this, &SpokenLanguagesField::changed);
            m_boxes.append(box);
        }
        m_boxes[at]->setText(others[i]);
        m_boxes[at]->setProperty("code", others[i]);
    }
    for (QCheckBox *box : std::as_const(m_boxes)) {
        const QSignalBlocker block(box);
        box->setChecked(codes.contains(box->property("code").toString()));
    }
}

void SpokenLanguagesField::changed()
{
    QStringList ticked;
    for (const QCheckBox *box : std::as_const(m_boxes)) {
        if (box->isChecked())
            ticked.append(box->property("code").toString());
    }
    // The table's order, then the others as they were.
    m_write(SpokenLanguage::inTableOrder(ticked) + SpokenLanguage::outsideTable(ticked));
}
