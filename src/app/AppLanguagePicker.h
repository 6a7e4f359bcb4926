#pragma once

#include <QWidget>

class QComboBox;

// "Interface language": one entry per choice; picking one stores it and restarts the program.
class AppLanguagePicker : public QWidget
{
    Q_OBJECT
public:
    explicit AppLanguagePicker(QWidget *parent = nullptr);

    // The code of the selected entry, empty for System; the initial value is fixed at creation.
    QString selection() const;
    QComboBox *comboBox() const { return m_combo; }

private:
    QComboBox *m_combo;
};
