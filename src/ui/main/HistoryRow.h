#pragma once

#include "History.h"

#include <QWidget>
#include <functional>

class QHBoxLayout;
class QLabel;
class QSpacerItem;
class QToolButton;

// One transcript of the history: its time, length and source above the selectable text, with
// copy, insert and delete buttons while the pointer is over it (and while a copy is fresh).
class HistoryRow : public QWidget
{
    Q_OBJECT
public:
    using OnInsert = std::function<void(const QString &)>;
    using OnDelete = std::function<void()>;

    // How long the copy button shows its check mark.
    static constexpr int copiedMs = 1200;

    HistoryRow(const HistoryEntry &entry, OnInsert onInsert, OnDelete onDelete,
               QWidget *parent = nullptr);

    const HistoryEntry &entry() const { return m_entry; }
    bool hovering() const { return m_hovering; }
    bool copied() const { return m_copied; }
    void copy();
    // A thin line above the row, between it and the one before.
    void setDivider(bool divider);

    // "Dec 5, 3:20 PM" in a US English locale: month, day, hour and minute, no year or seconds.
    static QString dateText(const QDateTime &date, const QLocale &locale);
    // One decimal and "s": 2 s reads 2.0s.
    static QString durationText(double seconds);

    // The hover buttons, made when the row first needs them.
    QToolButton *copyButton();
    QToolButton *insertButton();
    QToolButton *deleteButton();
    QWidget *sourceLabel() const { return m_source; }
    QLabel *textLabel() const { return m_text; }

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setHovering(bool hovering);
    void setCopied(bool copied);
    void updateButtons();
    void paintIcons();
    void ensureButtons();

    HistoryEntry m_entry;
    OnInsert m_onInsert;
    OnDelete m_onDelete;
    bool m_hovering = false;
    bool m_copied = false;
    bool m_divider = false;

    QWidget *m_source = nullptr;
    QLabel *m_sourceIcon = nullptr;
    QHBoxLayout *m_meta;
    QSpacerItem *m_buttonsRoom = nullptr; // holds the buttons' place until they are made
    QWidget *m_buttons = nullptr;
    QToolButton *m_copy = nullptr;
    QToolButton *m_insert = nullptr;
    QToolButton *m_delete = nullptr;
    QLabel *m_text;
};
