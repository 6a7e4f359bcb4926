#pragma once

#include "History.h"

#include <QListView>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QUuid>
#include <functional>

class HistoryModel;
class QFrame;
class QLabel;
class QToolButton;

// The transcripts on one card, newest first: each row shows its time, length and source above
// the text, and copy, insert and delete buttons while the pointer is over it (and while a copy is
// fresh). Rows are painted, not made of widgets, so a full history opens as fast as a few rows;
// the text of the row under the pointer can be selected. From the keyboard, the current row shows
// its buttons, Ctrl+C copies it, Enter inserts it, Delete deletes it, and the context menu offers
// the same.
class HistoryList : public QListView
{
    Q_OBJECT
public:
    enum Button
    {
        Copy,
        Insert,
        Delete
    };
    Q_ENUM(Button)

    using OnInsert = std::function<void(const QString &)>;
    using OnDelete = std::function<void(const HistoryEntry &)>;

    // How long the copy button shows its check mark.
    static constexpr int copiedMs = 1200;

    HistoryList(HistoryModel *model, OnInsert onInsert, OnDelete onDelete,
                QWidget *parent = nullptr);
    ~HistoryList() override;

    HistoryModel *historyModel() const { return m_model; }

    // "Dec 5, 3:20 PM" in a US English locale: month, day, hour and minute, no year or seconds.
    static QString dateText(const QDateTime &date, const QLocale &locale);
    // One decimal and "s": 2 s reads 2.0s.
    static QString durationText(double seconds);

    // Where a row's parts are, in viewport coordinates.
    QRect rowRect(int row) const;
    QRect textRect(int row) const;
    QRect buttonRect(int row, Button button) const;
    // The row the pointer is over, or -1.
    int hoveredRow() const;
    bool buttonsShown(int row) const;
    bool copied(int row) const;
    // The copy button's symbol now: "doc.on.doc", or "checkmark" just after a copy.
    QString copySymbol(int row) const;
    // Copies the row's text and shows the check mark for a while.
    void copy(int row);
    // The selectable text laid over the row under the pointer.
    QLabel *selector() const { return m_selector; }

protected:
    bool viewportEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    friend class HistoryDelegate;

    struct Row
    {
        QRect inner; // the row itself, within the card
        QRect card;  // the whole card, of which the row paints its share
        QRect meta;
        QRect text;
    };
    Row layoutRow(const QRect &itemRect, int row) const;
    QRect buttonIn(const Row &geometry, Button button) const;
    int textWidth() const;
    int rowHeight(int row) const;
    int extraAbove(int row) const;
    int extraBelow(int row) const;
    QFont captionFont() const;
    // The row and button at `pos`; a button counts only while it shows.
    int rowAt(const QPoint &pos) const;
    int buttonAt(const QPoint &pos, int row) const;
    void setHover(const QPoint &pos);
    void followPointer();
    void placeSelector();
    void trigger(int row, Button button);
    // The current row when the keyboard put the focus there, or -1.
    int keyboardRow() const;
    void updateRow(int row);
    void paintRow(QPainter *painter, const QRect &itemRect, int row) const;
    void paintCard(QPainter *painter, const QRect &card) const;
    void refreshLooks();

    HistoryModel *m_model;
    OnInsert m_onInsert;
    OnDelete m_onDelete;

    QPoint m_pointer{-1, -1}; // where the pointer is over the viewport, if it is
    QPersistentModelIndex m_hover;
    int m_hoverButton = -1;
    QPersistentModelIndex m_pressed;
    int m_pressedButton = -1;
    // The focus came by the keyboard (Tab, or a key moved the current row), not by a click: only
    // then does the current row show its buttons, so a click leaves the looks as they were.
    bool m_keyboardFocus = false;
    QSet<QUuid> m_copied;
    QPersistentModelIndex m_selectorRow;
    QLabel *m_selector;

    // Text heights by entry, for the current text width.
    mutable QHash<QUuid, int> m_heights;
    mutable int m_heightsWidth = -1;

    // Looks measured or drawn once: a real tool button lends its size and its style, a real
    // card its frame.
    QToolButton *m_probe;
    QFrame *m_cardProbe;
    mutable QPixmap m_card;
    QPixmap m_copyIcon, m_checkIcon, m_insertIcon, m_deleteIcon, m_phoneIcon;
    QSize m_buttonSize;
    int m_metaHeight = 0;
};
