#pragma once

#include "records/History.h"
#include "ui/main/HistoryRowLayout.h"
#include "ui/main/HistoryRowPainter.h"

#include <QListView>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSet>
#include <QUuid>
#include <functional>

class HistoryModel;
class QLabel;

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
    // Where the rows' parts are, measured by the painter of the rows.
    HistoryRowLayout &rowLayout() { return m_layout; }
    const HistoryRowLayout &rowLayout() const { return m_layout; }
    // What the row shows besides its entry: hover, keyboard focus, its buttons and theirs.
    HistoryRowPainter::State rowState(int row) const;

    // Where a row's parts are, in viewport coordinates.
    QRect rowRect(int row) const;
    QRect textRect(int row) const;
    QRect buttonRect(int row, Button button) const;
    // The row the pointer is over, or -1.
    int hoveredRow() const;
    // The button at `pos`, which counts only while it shows; -1 for none.
    int buttonAt(const QPoint &pos) const;
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
    HistoryRowLayout::Row layoutRow(int row) const;
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

    HistoryRowLayout m_layout;
    HistoryRowPainter *m_painter;
};
