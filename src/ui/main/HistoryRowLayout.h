#pragma once

#include <QFont>
#include <QHash>
#include <QRect>
#include <QSize>
#include <QUuid>

// Where the parts of a history row are: the card all rows share, the row within it, its first
// line (time, length, source, buttons) and its text. It measures; it paints nothing.
class HistoryRowLayout
{
public:
    // The card: 16 px from the pane's sides and bottom, 2 px below the search bar, a 1 px border
    // and 4 px inside it above the first row and below the last.
    static constexpr int cardSide = 16, cardTop = 2, cardBottom = 16, cardBorder = 1,
                         cardPadding = 4;
    // A row: 12 px to the sides, 5 px above, below and between its two lines.
    static constexpr int rowSide = 12, rowGap = 5;
    // The first line: 6 px between its items, 3 px between the phone symbol and the source, 10
    // px between the buttons.
    static constexpr int metaGap = 6, sourceGap = 3, phoneSize = 12, buttonGap = 10,
                         buttonIcon = 16;
    // The card's rounded ends, as tall as its corners with their smoothing.
    static constexpr int cardCap = 12;
    static constexpr int textFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextExpandTabs;

    struct Row
    {
        QRect inner; // the row itself, within the card
        QRect card;  // the whole card, of which the row paints its share
        QRect meta;
        QRect text;
    };

    // The first line's height and the buttons' size, as the looks of the moment measure them.
    void setMeasures(int metaHeight, QSize buttonSize);
    int metaHeight() const { return m_metaHeight; }

    // The width of the text in a viewport this wide.
    static int textWidth(int viewportWidth);
    // The whole height of the row's item, the card's ends included; the text is measured once
    // per entry and width.
    int itemHeight(int row, int rowCount, const QUuid &id, const QString &text, const QFont &font,
                   int textWidth) const;
    Row layout(const QRect &item, int row, int rowCount) const;
    // The button's place (0 copy, 1 insert, 2 delete) on the row's first line.
    QRect button(const Row &row, int index) const;

private:
    static int extraAbove(int row);
    static int extraBelow(int row, int rowCount);

    int m_metaHeight = 0;
    QSize m_buttonSize;
    // Text heights by entry, for the current text width.
    mutable QHash<QUuid, int> m_heights;
    mutable int m_heightsWidth = -1;
};
