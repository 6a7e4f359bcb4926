#pragma once

#include <QWidget>
#include <functional>

class QComboBox;

// "Interface language": one entry per choice; picking one stores it and restarts the program.
class AppLanguagePicker : public QWidget
{
    Q_OBJECT
public:
    explicit AppLanguagePicker(QWidget *parent = nullptr);

    // Asked before a choice restarts the program; false keeps the current language (the form
    // asks what to do with edits that are not saved yet).
    void setBeforeRestart(std::function<bool()> ready) { m_beforeRestart = std::move(ready); }

    // The code of the selected entry, empty for System; the initial value is fixed at creation.
    QString selection() const;
    QComboBox *comboBox() const { return m_combo; }

private:
    QComboBox *m_combo;
    std::function<bool()> m_beforeRestart;
};
