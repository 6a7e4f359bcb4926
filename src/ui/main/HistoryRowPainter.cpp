#include "ui/main/HistoryRowPainter.h"

#include "ui/main/HistoryList.h"
#include "ui/main/HistoryModel.h"
#include "ui/main/HistoryRowFormat.h"
#include "ui/main/HistoryRowLayout.h"
#include "ui/main/SettingsStyle.h"
#include "Symbols.h"

#include <QFrame>
#include <QHelpEvent>
#include <QLocale>
#include <QPainter>
#include <QStyleOption>
#include <QStyleOptionToolButton>
#include <QToolButton>
#include <QToolTip>

namespace {

using L = HistoryRowLayout;

QColor destructive()
{
    return QColor(0xd7, 0x3a, 0x31);
}

QColor copiedGreen()
{
    return QColor(0x2e, 0xa0, 0x43);
}

// A tool button that is never shown: it lends its size and its style options to the painted
// buttons, so they look exactly like tool buttons.
class ProbeButton : public QToolButton
{
public:
    using QToolButton::initStyleOption;
};

} // namespace

HistoryRowPainter::HistoryRowPainter(HistoryList *list)
    : QStyledItemDelegate(list), m_list(list), m_probe(std::make_unique<ProbeButton>()),
      m_cardProbe(std::make_unique<QFrame>())
{
    m_probe->setAutoRaise(true);
    m_probe->setIconSize(QSize(L::buttonIcon, L::buttonIcon));
    m_probe->setIcon(QIcon(Symbols::pixmap(QStringLiteral("trash"), Qt::black, L::buttonIcon)));
    m_cardProbe->setObjectName(QStringLiteral("historyCard"));
    m_cardProbe->setStyleSheet(
        QStringLiteral("QFrame#historyCard { background: palette(base); "
                       "border: 1px solid palette(midlight); border-radius: 8px; }"));
}

HistoryRowPainter::~HistoryRowPainter() = default;

QFont HistoryRowPainter::captionFont() const
{
    QFont f = m_list->font();
    f.setPointSizeF(f.pointSizeF() * 0.88);
    return f;
}

void HistoryRowPainter::refresh()
{
    const qreal dpr = m_list->devicePixelRatioF();
    const QColor normal = m_list->palette().color(QPalette::WindowText);
    m_copyIcon = Symbols::pixmap(QStringLiteral("doc.on.doc"), normal, L::buttonIcon, dpr);
    m_checkIcon = Symbols::pixmap(QStringLiteral("checkmark"), copiedGreen(), L::buttonIcon, dpr);
    m_insertIcon = Symbols::pixmap(QStringLiteral("arrow.down.doc"), normal, L::buttonIcon, dpr);
    m_deleteIcon = Symbols::pixmap(QStringLiteral("trash"), destructive(), L::buttonIcon, dpr);
    m_phoneIcon = Symbols::pixmap(QStringLiteral("iphone"), SettingsStyle::secondary(m_list),
                                  L::phoneSize, dpr);
    m_probe->setFont(m_list->font());
    const QSize buttonSize = m_probe->sizeHint();
    const QFontMetrics caption(captionFont());
    m_list->rowLayout().setMeasures(
        qMax(qMax(caption.height(), int(L::phoneSize)), buttonSize.height()), buttonSize);
    m_card = QPixmap();
}

QSize HistoryRowPainter::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    const HistoryModel *model = m_list->historyModel();
    const HistoryEntry &entry = model->entry(index.row());
    const int width = m_list->viewport()->width();
    return QSize(width,
                 m_list->rowLayout().itemHeight(index.row(), model->rowCount(), entry.id,
                                                entry.text, m_list->font(), L::textWidth(width)));
}

bool HistoryRowPainter::helpEvent(QHelpEvent *event, QAbstractItemView *,
                                  const QStyleOptionViewItem &, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip)
        return false;
    const int button = m_list->buttonAt(event->pos());
    if (button < 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(event->globalPos(), HistoryRowFormat::buttonTip(HistoryList::Button(button)),
                       m_list->viewport(),
                       m_list->buttonRect(index.row(), HistoryList::Button(button)));
    return true;
}

void HistoryRowPainter::paintCard(QPainter *painter, const QRect &card) const
{
    // The card's rounded ends are those of a real styled frame, drawn once per width; between
    // them it is a plain fill within a 1 px border.
    const QPalette &pal = m_list->palette();
    if (m_card.isNull() || m_card.deviceIndependentSize().toSize().width() != card.width()) {
        m_cardProbe->setPalette(pal);
        m_cardProbe->resize(card.width(), 2 * L::cardCap);
        m_card = m_cardProbe->grab();
    }
    const qreal dpr = m_card.devicePixelRatio();
    const int w = card.width();
    auto piece = [&](int y, int from) {
        painter->drawPixmap(QRectF(card.left(), y, w, L::cardCap), m_card,
                            QRectF(0, from * dpr, w * dpr, L::cardCap * dpr));
    };
    piece(card.top(), 0);
    piece(card.bottom() + 1 - L::cardCap, L::cardCap);
    const QRect middle(card.left(), card.top() + L::cardCap, w, card.height() - 2 * L::cardCap);
    painter->fillRect(middle, pal.color(QPalette::Base));
    painter->fillRect(QRect(middle.left(), middle.top(), L::cardBorder, middle.height()),
                      pal.color(QPalette::Midlight));
    painter->fillRect(
        QRect(middle.right() + 1 - L::cardBorder, middle.top(), L::cardBorder, middle.height()),
        pal.color(QPalette::Midlight));
}

void HistoryRowPainter::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const int row = index.row();
    const HistoryModel *model = m_list->historyModel();
    const HistoryEntry &entry = model->entry(row);
    const HistoryRowLayout &layout = m_list->rowLayout();
    const HistoryRowLayout::Row g = layout.layout(option.rect, row, model->rowCount());
    const State state = m_list->rowState(row);
    const QPalette &pal = m_list->palette();
    QStyle *style = m_list->style();
    painter->save();
    painter->setClipRect(option.rect);
    paintCard(painter, g.card);

    if (state.keyboard) {
        QStyleOptionFocusRect focus;
        focus.initFrom(m_list);
        focus.rect = g.inner.adjusted(2, 1, -2, -1);
        focus.backgroundColor = pal.color(QPalette::Base);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, m_list);
    }
    if (state.hovered || state.keyboard) {
        QColor wash = pal.color(QPalette::Highlight);
        wash.setAlphaF(0.06f);
        painter->fillRect(g.inner.adjusted(1, 0, -1, 0), wash);
    }
    if (row > 0) {
        QColor line = pal.color(QPalette::WindowText);
        line.setAlphaF(0.1f);
        painter->setPen(line);
        painter->drawLine(g.inner.left() + L::rowSide, g.inner.top(),
                          g.inner.left() + g.inner.width() - L::rowSide, g.inner.top());
    }

    // The first line: time, length and, from elsewhere than this computer, the source.
    painter->setFont(captionFont());
    painter->setPen(SettingsStyle::secondary(m_list));
    const QFontMetrics caption(painter->font());
    int x = g.meta.left();
    auto label = [&](const QString &text) {
        const int width =
            caption.boundingRect(QRect(0, 0, 2000, 2000), L::textFlags & ~Qt::AlignVCenter, text)
                .width();
        painter->drawText(QRect(x, g.meta.top(), width, g.meta.height()),
                          L::textFlags | Qt::TextForceLeftToRight, text);
        x += width;
    };
    label(HistoryRowFormat::dateText(entry.date, QLocale()));
    x += L::metaGap;
    label(HistoryRowFormat::durationText(entry.duration));
    if (entry.source != QLatin1String("mac")) {
        x += L::metaGap;
        const QRect icon = QStyle::alignedRect(
            Qt::LeftToRight, Qt::AlignLeft | Qt::AlignVCenter, QSize(L::phoneSize, L::phoneSize),
            QRect(x, g.meta.top(), L::phoneSize, g.meta.height()));
        painter->drawPixmap(icon, m_phoneIcon);
        x += L::phoneSize + L::sourceGap;
        label(entry.source);
    }

    if (state.buttonsShown) {
        const bool active = m_list->window()->isActiveWindow();
        for (HistoryList::Button b :
             {HistoryList::Copy, HistoryList::Insert, HistoryList::Delete}) {
            QStyleOptionToolButton opt;
            static_cast<ProbeButton *>(m_probe.get())->initStyleOption(&opt);
            opt.rect = layout.button(g, int(b));
            opt.palette = pal;
            opt.state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_Active |
                           QStyle::State_HasFocus);
            opt.state |= QStyle::State_Raised;
            if (active)
                opt.state |= QStyle::State_Active;
            if (state.hoverButton == b)
                opt.state |= QStyle::State_MouseOver;
            if (state.sunkenButton == b) {
                opt.state |= QStyle::State_Sunken;
                opt.state &= ~QStyle::State_Raised;
            }
            opt.icon = QIcon(b == HistoryList::Copy     ? (state.copied ? m_checkIcon : m_copyIcon)
                             : b == HistoryList::Insert ? m_insertIcon
                                                        : m_deleteIcon);
            style->drawComplexControl(QStyle::CC_ToolButton, &opt, painter, m_probe.get());
        }
    }

    // The text, unless the selectable copy lies over it.
    if (!state.textCovered) {
        painter->setFont(m_list->font());
        painter->setPen(pal.color(QPalette::WindowText));
        const Qt::LayoutDirection dir =
            entry.text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
        const int flags =
            int(QStyle::visualAlignment(dir, Qt::Alignment(L::textFlags))) | Qt::TextWordWrap |
            (dir == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
        painter->drawText(g.text, flags, entry.text);
    }
    painter->restore();
}
