#include "ui/main/HistoryRowLayout.h"

#include <QFontMetrics>

void HistoryRowLayout::setMeasures(int metaHeight, QSize buttonSize)
{
    m_metaHeight = metaHeight;
    m_buttonSize = buttonSize;
    m_heights.clear();
    m_heightsWidth = -1;
}

int HistoryRowLayout::textWidth(int viewportWidth)
{
    return viewportWidth - 2 * (cardSide + cardBorder + rowSide);
}

int HistoryRowLayout::itemHeight(int row, int rowCount, const QUuid &id, const QString &text,
                                 const QFont &font, int width) const
{
    if (width != m_heightsWidth) {
        m_heights.clear();
        m_heightsWidth = width;
    }
    auto found = m_heights.constFind(id);
    int height;
    if (found != m_heights.cend()) {
        height = *found;
    } else {
        // As a word-wrapping label measures itself.
        const QFontMetrics fm(font);
        height = fm.boundingRect(QRect(0, 0, qMax(width, 1), 2000),
                                 (textFlags & ~Qt::AlignVCenter) | Qt::TextWordWrap, text)
                     .height();
        m_heights.insert(id, height);
    }
    return extraAbove(row) + rowGap + m_metaHeight + rowGap + height + rowGap +
           extraBelow(row, rowCount);
}

int HistoryRowLayout::extraAbove(int row)
{
    return row == 0 ? cardTop + cardBorder + cardPadding : 0;
}

int HistoryRowLayout::extraBelow(int row, int rowCount)
{
    return row == rowCount - 1 ? cardPadding + cardBorder + cardBottom : 0;
}

HistoryRowLayout::Row HistoryRowLayout::layout(const QRect &item, int row, int rowCount) const
{
    Row r;
    const int side = cardSide + cardBorder;
    const int above = extraAbove(row);
    const int below = extraBelow(row, rowCount);
    r.inner = QRect(item.left() + side, item.top() + above, item.width() - 2 * side,
                    item.height() - above - below);
    const int top = row == 0 ? item.top() + cardTop : item.top() - 2 * cardCap;
    const int bottom = below ? item.bottom() - cardBottom : item.bottom() + 2 * cardCap;
    r.card = QRect(QPoint(item.left() + cardSide, top), QPoint(item.right() - cardSide, bottom));
    r.meta = QRect(r.inner.left() + rowSide, r.inner.top() + rowGap, r.inner.width() - 2 * rowSide,
                   m_metaHeight);
    r.text = QRect(r.meta.left(), r.meta.bottom() + 1 + rowGap, r.meta.width(),
                   r.inner.bottom() - rowGap - r.meta.bottom() - rowGap);
    return r;
}

QRect HistoryRowLayout::button(const Row &g, int index) const
{
    const int bw = m_buttonSize.width(), bh = m_buttonSize.height();
    const int left = g.meta.right() + 1 - (3 * bw + 2 * buttonGap);
    return QRect(left + index * (bw + buttonGap), g.meta.top() + (g.meta.height() - bh) / 2, bw,
                 bh);
}
