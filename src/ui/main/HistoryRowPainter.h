#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>
#include <memory>

class HistoryList;
class QFrame;
class QToolButton;

// Sizes and paints the history list's rows, as the list's state of each says, and shows the
// buttons' tool tips; the list holds what the pointer and the keyboard do.
class HistoryRowPainter : public QStyledItemDelegate
{
public:
    // What a row shows besides its entry.
    struct State
    {
        bool keyboard = false; // the current row, the focus having come by the keyboard
        bool hovered = false;
        bool buttonsShown = false;
        bool copied = false;      // the copy button shows its check mark
        bool textCovered = false; // the selectable copy of the text lies over it
        int hoverButton = -1;     // the button under the pointer
        int sunkenButton = -1;    // the button held down under the pointer
    };

    explicit HistoryRowPainter(HistoryList *list);
    ~HistoryRowPainter() override;

    // Icons, sizes and the card anew, after the palette, the font or the style changed; the
    // list's layout takes the new measures.
    void refresh();
    // The card is drawn again at the next width.
    void forgetCard() { m_card = QPixmap(); }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    QFont captionFont() const;
    void paintCard(QPainter *painter, const QRect &card) const;

    HistoryList *m_list;
    // Looks measured or drawn once: a real tool button lends its size and its style, a real
    // card its frame.
    std::unique_ptr<QToolButton> m_probe;
    std::unique_ptr<QFrame> m_cardProbe;
    mutable QPixmap m_card;
    QPixmap m_copyIcon, m_checkIcon, m_insertIcon, m_deleteIcon, m_phoneIcon;
};
