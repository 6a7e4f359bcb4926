#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

class QCheckBox;
class QGridLayout;

// The languages the user speaks, one tick per entry of the table in three columns, as the guide
// offers them. A code the table does not hold (written into the file by hand) keeps a tick of its
// own, labelled with the code, until it is unticked.
class SpokenLanguagesField : public QWidget
{
    Q_OBJECT
public:
    using Read = std::function<QStringList()>;
    using Write = std::function<void(const QStringList &)>;
    SpokenLanguagesField(Read read, Write write, QWidget *parent = nullptr);

    // Shows the stored list again.
    void refresh();
    QList<QCheckBox *> boxes() const { return m_boxes; }

private:
    void changed();

    Read m_read;
    Write m_write;
    QGridLayout *m_grid;
    QList<QCheckBox *> m_boxes;
    int m_tableSize = 0;
};
