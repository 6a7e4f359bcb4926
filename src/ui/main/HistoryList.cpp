#include "HistoryList.h"

#include "HistoryModel.h"
#include "SettingsStyle.h"
#include "Symbols.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOption>
#include <QStyleOptionToolButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

namespace {

// The card: 16 px from the pane's sides and bottom, 2 px below the search bar, a 1 px border
// and 4 px inside it above the first row and below the last.
constexpr int cardSide = 16, cardTop = 2, cardBottom = 16, cardBorder = 1, cardPadding = 4;
// A row: 12 px to the sides, 5 px above, below and between its two lines.
constexpr int rowSide = 12, rowGap = 5;
// The first line: 6 px between its items, 3 px between the phone symbol and the source, 10 px
// between the buttons.
constexpr int metaGap = 6, sourceGap = 3, phoneSize = 12, buttonGap = 10, buttonIcon = 16;
// The card's rounded ends, as tall as its corners with their smoothing.
constexpr int cardCap = 12;

constexpr int textFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextExpandTabs;

QColor destructive()
{
    return QColor(0xd7, 0x3a, 0x31);
}

QColor copiedGreen()
{
    return QColor(0x2e, 0xa0, 0x43);
}

QString buttonTip(HistoryList::Button button)
{
    // The buttons' texts keep the context the string tables know them by.
    switch (button) {
    case HistoryList::Copy:
        return QCoreApplication::translate("HistoryRow", "Copy");
    case HistoryList::Insert:
        return QCoreApplication::translate("HistoryRow", "Insert into the front app");
    case HistoryList::Delete:
        return QCoreApplication::translate("HistoryRow", "Delete");
    }
    return {};
}

// A tool button that is never shown: it lends its size and its style options to the painted
// buttons, so they look exactly like tool buttons.
class ProbeButton : public QToolButton
{
public:
    using QToolButton::initStyleOption;
};

} // namespace

// Sizes and paints the rows; the list holds what the pointer does.
class HistoryDelegate : public QStyledItemDelegate
{
public:
    explicit HistoryDelegate(HistoryList *list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        const int row = index.row();
        return QSize(m_list->viewport()->width(),
                     m_list->extraAbove(row) + m_list->rowHeight(row) + m_list->extraBelow(row));
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        m_list->paintRow(painter, option.rect, index.row());
    }

    bool helpEvent(QHelpEvent *event, QAbstractItemView *, const QStyleOptionViewItem &,
                   const QModelIndex &index) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        const int button = m_list->buttonAt(event->pos(), m_list->rowAt(event->pos()));
        if (button < 0) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        QToolTip::showText(event->globalPos(), buttonTip(HistoryList::Button(button)),
                           m_list->viewport(),
                           m_list->buttonRect(index.row(), HistoryList::Button(button)));
        return true;
    }

private:
    HistoryList *m_list;
};

QString HistoryList::dateText(const QDateTime &date, const QLocale &locale)
{
    // The locale's own order of day and month, its own clock, and no year or seconds.
    const QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    const bool dayFirst =
        dateFormat.indexOf(QLatin1Char('d')) < dateFormat.indexOf(QLatin1Char('M'));
    QString time = locale.timeFormat(QLocale::ShortFormat);
    time.remove(QStringLiteral(":ss"));
    const QString day = dayFirst ? QStringLiteral("d MMM") : QStringLiteral("MMM d");
    return locale.toString(date.toLocalTime(), day + QStringLiteral(", ") + time);
}

QString HistoryList::durationText(double seconds)
{
    return QString::asprintf("%.1f", seconds) + QStringLiteral("s");
}

HistoryList::HistoryList(HistoryModel *model, OnInsert onInsert, OnDelete onDelete, QWidget *parent)
    : QListView(parent), m_model(model), m_onInsert(std::move(onInsert)),
      m_onDelete(std::move(onDelete)), m_selector(new QLabel(viewport())), m_probe(new ProbeButton),
      m_cardProbe(new QFrame)
{
    SettingsStyle::initSymbols();
    setObjectName(QStringLiteral("historyList"));
    setFrameShape(QFrame::NoFrame);
    viewport()->setBackgroundRole(QPalette::Window);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setResizeMode(QListView::Adjust);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    setItemDelegate(new HistoryDelegate(this));
    setModel(model);

    m_probe->setAutoRaise(true);
    m_probe->setIconSize(QSize(buttonIcon, buttonIcon));
    m_probe->setIcon(QIcon(Symbols::pixmap(QStringLiteral("trash"), Qt::black, buttonIcon)));
    m_cardProbe->setObjectName(QStringLiteral("historyCard"));
    m_cardProbe->setStyleSheet(
        QStringLiteral("QFrame#historyCard { background: palette(base); "
                       "border: 1px solid palette(midlight); border-radius: 8px; }"));

    m_selector->setObjectName(QStringLiteral("transcript"));
    m_selector->setWordWrap(true);
    m_selector->setTextFormat(Qt::PlainText);
    m_selector->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_selector->hide();

    // Rows that come and go move the others under a pointer that stays; a selectable text whose
    // row went away goes with it at once.
    auto settle = [this] {
        placeSelector();
        QTimer::singleShot(0, this, &HistoryList::followPointer);
    };
    connect(model, &QAbstractItemModel::modelReset, this, settle);
    connect(model, &QAbstractItemModel::rowsRemoved, this, settle);
    connect(model, &QAbstractItemModel::rowsInserted, this, settle);

    refreshLooks();
}

HistoryList::~HistoryList()
{
    delete m_probe;
    delete m_cardProbe;
}

QFont HistoryList::captionFont() const
{
    QFont f = font();
    f.setPointSizeF(f.pointSizeF() * 0.88);
    return f;
}

void HistoryList::refreshLooks()
{
    const qreal dpr = devicePixelRatioF();
    const QColor normal = palette().color(QPalette::WindowText);
    m_copyIcon = Symbols::pixmap(QStringLiteral("doc.on.doc"), normal, buttonIcon, dpr);
    m_checkIcon = Symbols::pixmap(QStringLiteral("checkmark"), copiedGreen(), buttonIcon, dpr);
    m_insertIcon = Symbols::pixmap(QStringLiteral("arrow.down.doc"), normal, buttonIcon, dpr);
    m_deleteIcon = Symbols::pixmap(QStringLiteral("trash"), destructive(), buttonIcon, dpr);
    m_phoneIcon =
        Symbols::pixmap(QStringLiteral("iphone"), SettingsStyle::secondary(this), phoneSize, dpr);
    m_probe->setFont(font());
    m_buttonSize = m_probe->sizeHint();
    const QFontMetrics caption(captionFont());
    m_metaHeight = qMax(qMax(caption.height(), phoneSize), m_buttonSize.height());
    m_card = QPixmap();
    m_heights.clear();
    m_heightsWidth = -1;
    m_selector->setFont(font());
    scheduleDelayedItemsLayout();
}

int HistoryList::textWidth() const
{
    return viewport()->width() - 2 * (cardSide + cardBorder + rowSide);
}

int HistoryList::rowHeight(int row) const
{
    const int width = textWidth();
    if (width != m_heightsWidth) {
        m_heights.clear();
        m_heightsWidth = width;
    }
    const HistoryEntry &e = m_model->entry(row);
    auto found = m_heights.constFind(e.id);
    int text;
    if (found != m_heights.cend()) {
        text = *found;
    } else {
        // As a word-wrapping label measures itself.
        const QFontMetrics fm(font());
        text = fm.boundingRect(QRect(0, 0, qMax(width, 1), 2000),
                               (textFlags & ~Qt::AlignVCenter) | Qt::TextWordWrap, e.text)
                   .height();
        m_heights.insert(e.id, text);
    }
    return rowGap + m_metaHeight + rowGap + text + rowGap;
}

int HistoryList::extraAbove(int row) const
{
    return row == 0 ? cardTop + cardBorder + cardPadding : 0;
}

int HistoryList::extraBelow(int row) const
{
    return row == m_model->rowCount() - 1 ? cardPadding + cardBorder + cardBottom : 0;
}

HistoryList::Row HistoryList::layoutRow(const QRect &item, int row) const
{
    Row r;
    const int side = cardSide + cardBorder;
    r.inner = QRect(item.left() + side, item.top() + extraAbove(row), item.width() - 2 * side,
                    item.height() - extraAbove(row) - extraBelow(row));
    const int top = row == 0 ? item.top() + cardTop : item.top() - 2 * cardCap;
    const int bottom = extraBelow(row) ? item.bottom() - cardBottom : item.bottom() + 2 * cardCap;
    r.card = QRect(QPoint(item.left() + cardSide, top), QPoint(item.right() - cardSide, bottom));
    r.meta = QRect(r.inner.left() + rowSide, r.inner.top() + rowGap, r.inner.width() - 2 * rowSide,
                   m_metaHeight);
    r.text = QRect(r.meta.left(), r.meta.bottom() + 1 + rowGap, r.meta.width(),
                   r.inner.bottom() - rowGap - r.meta.bottom() - rowGap);
    return r;
}

QRect HistoryList::buttonIn(const Row &g, Button button) const
{
    const int bw = m_buttonSize.width(), bh = m_buttonSize.height();
    const int left = g.meta.right() + 1 - (3 * bw + 2 * buttonGap);
    return QRect(left + int(button) * (bw + buttonGap), g.meta.top() + (g.meta.height() - bh) / 2,
                 bw, bh);
}

QRect HistoryList::rowRect(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return {};
    return layoutRow(visualRect(m_model->index(row)), row).inner;
}

QRect HistoryList::textRect(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return {};
    return layoutRow(visualRect(m_model->index(row)), row).text;
}

QRect HistoryList::buttonRect(int row, Button button) const
{
    if (row < 0 || row >= m_model->rowCount())
        return {};
    return buttonIn(layoutRow(visualRect(m_model->index(row)), row), button);
}

int HistoryList::hoveredRow() const
{
    return m_hover.isValid() ? m_hover.row() : -1;
}

bool HistoryList::copied(int row) const
{
    return row >= 0 && row < m_model->rowCount() && m_copied.contains(m_model->entry(row).id);
}

bool HistoryList::buttonsShown(int row) const
{
    return row >= 0 && (row == hoveredRow() || copied(row) || row == keyboardRow());
}

int HistoryList::keyboardRow() const
{
    return m_keyboardFocus && hasFocus() && currentIndex().isValid() ? currentIndex().row() : -1;
}

void HistoryList::updateRow(int row)
{
    if (row >= 0 && row < m_model->rowCount())
        viewport()->update(visualRect(m_model->index(row)));
}

QString HistoryList::copySymbol(int row) const
{
    return copied(row) ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc");
}

int HistoryList::rowAt(const QPoint &pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return -1;
    return layoutRow(visualRect(index), index.row()).inner.contains(pos) ? index.row() : -1;
}

int HistoryList::buttonAt(const QPoint &pos, int row) const
{
    if (!buttonsShown(row))
        return -1;
    const Row g = layoutRow(visualRect(m_model->index(row)), row);
    for (Button b : {Copy, Insert, Delete}) {
        if (buttonIn(g, b).contains(pos))
            return b;
    }
    return -1;
}

void HistoryList::setHover(const QPoint &pos)
{
    m_pointer = pos;
    const int row = viewport()->rect().contains(pos) ? rowAt(pos) : -1;
    const int was = hoveredRow();
    if (row != was) {
        m_hover = row >= 0 ? QPersistentModelIndex(m_model->index(row)) : QPersistentModelIndex();
        if (was >= 0)
            viewport()->update(visualRect(m_model->index(was)));
        if (row >= 0)
            viewport()->update(visualRect(m_model->index(row)));
    }
    const int button = buttonAt(pos, row);
    if (button != m_hoverButton) {
        m_hoverButton = button;
        if (row >= 0)
            viewport()->update(visualRect(m_model->index(row)));
    }
    if (button >= 0)
        viewport()->setCursor(Qt::PointingHandCursor);
    else
        viewport()->unsetCursor();
    placeSelector();
}

void HistoryList::followPointer()
{
    setHover(m_pointer);
}

void HistoryList::placeSelector()
{
    // The text under the pointer can be selected; it stays selectable after the pointer leaves
    // the list, so a selection outlives the way to a key.
    if (m_hover.isValid() && m_hover != m_selectorRow) {
        if (m_selectorRow.isValid())
            viewport()->update(visualRect(m_selectorRow));
        m_selectorRow = m_hover;
        m_selector->setText(m_model->entry(m_hover.row()).text);
    }
    if (!m_selectorRow.isValid()) {
        m_selector->hide();
        return;
    }
    const QRect text = textRect(m_selectorRow.row());
    m_selector->setGeometry(
        text.adjusted(0, 0, 0, qMax(0, m_selector->heightForWidth(text.width()) - text.height())));
    if (m_selector->isHidden()) {
        m_selector->show();
        viewport()->update(visualRect(m_selectorRow));
    }
}

bool HistoryList::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        setHover(static_cast<QHoverEvent *>(event)->position().toPoint());
        break;
    case QEvent::HoverLeave:
    case QEvent::Leave:
        if (!m_selector->underMouse())
            setHover(QPoint(-1, -1));
        break;
    default:
        break;
    }
    return QListView::viewportEvent(event);
}

void HistoryList::mousePressEvent(QMouseEvent *event)
{
    if (m_keyboardFocus) {
        m_keyboardFocus = false;
        updateRow(currentIndex().row());
    }
    const QPoint pos = event->position().toPoint();
    setHover(pos);
    const int button = event->button() == Qt::LeftButton ? buttonAt(pos, hoveredRow()) : -1;
    if (button < 0) {
        QListView::mousePressEvent(event);
        return;
    }
    m_pressed = m_hover;
    m_pressedButton = button;
    viewport()->update(visualRect(m_pressed));
    event->accept();
}

void HistoryList::keyPressEvent(QKeyEvent *event)
{
    const int row = currentIndex().isValid() ? currentIndex().row() : -1;
    const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                       (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const int button = event->matches(QKeySequence::Copy)     ? Copy
                       : enter                                ? Insert
                       : event->matches(QKeySequence::Delete) ? Delete
                                                              : -1;
    if (!m_keyboardFocus) {
        m_keyboardFocus = true;
        updateRow(row);
    }
    if (row >= 0 && button >= 0) {
        trigger(row, Button(button));
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void HistoryList::focusInEvent(QFocusEvent *event)
{
    m_keyboardFocus = event->reason() == Qt::TabFocusReason ||
                      event->reason() == Qt::BacktabFocusReason ||
                      event->reason() == Qt::ShortcutFocusReason;
    QListView::focusInEvent(event);
    if (m_keyboardFocus && !currentIndex().isValid() && m_model->rowCount() > 0)
        setCurrentIndex(m_model->index(0));
    updateRow(keyboardRow());
}

void HistoryList::focusOutEvent(QFocusEvent *event)
{
    const int row = keyboardRow();
    QListView::focusOutEvent(event);
    updateRow(row);
}

void HistoryList::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QListView::currentChanged(current, previous);
    updateRow(previous.row());
    updateRow(current.row());
}

void HistoryList::contextMenuEvent(QContextMenuEvent *event)
{
    const int row = event->reason() == QContextMenuEvent::Mouse
                        ? rowAt(event->pos())
                        : (currentIndex().isValid() ? currentIndex().row() : -1);
    if (row < 0)
        return;
    const QUuid id = m_model->entry(row).id;
    QMenu menu(this);
    const QList<std::pair<Button, QKeySequence>> items{
        {Copy, QKeySequence(QKeySequence::Copy)},
        {Insert, QKeySequence(Qt::Key_Enter)},
        {Delete, QKeySequence(QKeySequence::Delete)}};
    for (const auto &[button, keys] : items) {
        QAction *action = menu.addAction(buttonTip(button));
        action->setShortcut(keys);
        // The menu only shows the keys; the list itself handles them.
        action->setShortcutContext(Qt::WidgetShortcut);
        const Button b = button;
        connect(action, &QAction::triggered, this, [this, id, b] {
            const int at = m_model->rowOf(id);
            if (at >= 0)
                trigger(at, b);
        });
    }
    menu.exec(event->globalPos());
}

void HistoryList::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click on a button is two clicks, as on any button.
    if (buttonAt(event->position().toPoint(), rowAt(event->position().toPoint())) >= 0)
        mousePressEvent(event);
    else
        QListView::mouseDoubleClickEvent(event);
}

void HistoryList::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressedButton < 0) {
        QListView::mouseMoveEvent(event);
        return;
    }
    setHover(event->position().toPoint());
    if (m_pressed.isValid())
        viewport()->update(visualRect(m_pressed));
}

void HistoryList::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressedButton < 0) {
        QListView::mouseReleaseEvent(event);
        return;
    }
    const QPersistentModelIndex pressed = m_pressed;
    const int button = m_pressedButton;
    m_pressed = QPersistentModelIndex();
    m_pressedButton = -1;
    const QPoint pos = event->position().toPoint();
    setHover(pos);
    if (pressed.isValid()) {
        viewport()->update(visualRect(pressed));
        if (event->button() == Qt::LeftButton && rowAt(pos) == pressed.row() &&
            buttonAt(pos, pressed.row()) == button)
            trigger(pressed.row(), Button(button));
    }
    event->accept();
}

void HistoryList::trigger(int row, Button button)
{
    const HistoryEntry entry = m_model->entry(row);
    switch (button) {
    case Copy:
        copy(row);
        break;
    case Insert:
        if (m_onInsert)
            m_onInsert(entry.text);
        break;
    case Delete:
        // The history changes under the list: let the click finish first.
        if (m_onDelete)
            QTimer::singleShot(0, this, [this, entry] { m_onDelete(entry); });
        break;
    }
}

void HistoryList::copy(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const HistoryEntry &entry = m_model->entry(row);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(entry.text);
    const QUuid id = entry.id;
    m_copied.insert(id);
    viewport()->update(visualRect(m_model->index(row)));
    // Each copy ends its own check mark; an earlier one still ends at its own time.
    QTimer::singleShot(copiedMs, this, [this, id] {
        m_copied.remove(id);
        const int at = m_model->rowOf(id);
        if (at >= 0)
            viewport()->update(visualRect(m_model->index(at)));
    });
}

void HistoryList::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    m_card = QPixmap();
}

void HistoryList::changeEvent(QEvent *event)
{
    QListView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange ||
        event->type() == QEvent::StyleChange)
        refreshLooks();
}

void HistoryList::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    // The wheel brings another row under a pointer that did not move.
    followPointer();
}

void HistoryList::updateGeometries()
{
    QListView::updateGeometries();
    verticalScrollBar()->setSingleStep(20);
    placeSelector();
}

void HistoryList::paintCard(QPainter *painter, const QRect &card) const
{
    // The card's rounded ends are those of a real styled frame, drawn once per width; between
    // them it is a plain fill within a 1 px border.
    if (m_card.isNull() || m_card.deviceIndependentSize().toSize().width() != card.width()) {
        m_cardProbe->setPalette(palette());
        m_cardProbe->resize(card.width(), 2 * cardCap);
        m_card = m_cardProbe->grab();
    }
    const qreal dpr = m_card.devicePixelRatio();
    const int w = card.width();
    auto piece = [&](int y, int from) {
        painter->drawPixmap(QRectF(card.left(), y, w, cardCap), m_card,
                            QRectF(0, from * dpr, w * dpr, cardCap * dpr));
    };
    piece(card.top(), 0);
    piece(card.bottom() + 1 - cardCap, cardCap);
    const QRect middle(card.left(), card.top() + cardCap, w, card.height() - 2 * cardCap);
    painter->fillRect(middle, palette().color(QPalette::Base));
    painter->fillRect(QRect(middle.left(), middle.top(), cardBorder, middle.height()),
                      palette().color(QPalette::Midlight));
    painter->fillRect(
        QRect(middle.right() + 1 - cardBorder, middle.top(), cardBorder, middle.height()),
        palette().color(QPalette::Midlight));
}

void HistoryList::paintRow(QPainter *painter, const QRect &item, int row) const
{
    const HistoryEntry &entry = m_model->entry(row);
    const Row g = layoutRow(item, row);
    const QPalette &pal = palette();
    painter->save();
    painter->setClipRect(item);
    paintCard(painter, g.card);

    if (row == keyboardRow()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = g.inner.adjusted(2, 1, -2, -1);
        focus.backgroundColor = pal.color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, this);
    }
    if (row == hoveredRow() || row == keyboardRow()) {
        QColor wash = pal.color(QPalette::Highlight);
        wash.setAlphaF(0.06f);
        painter->fillRect(g.inner.adjusted(1, 0, -1, 0), wash);
    }
    if (row > 0) {
        QColor line = pal.color(QPalette::WindowText);
        line.setAlphaF(0.1f);
        painter->setPen(line);
        painter->drawLine(g.inner.left() + rowSide, g.inner.top(),
                          g.inner.left() + g.inner.width() - rowSide, g.inner.top());
    }

    // The first line: time, length and, from elsewhere than this computer, the source.
    painter->setFont(captionFont());
    painter->setPen(SettingsStyle::secondary(this));
    const QFontMetrics caption(painter->font());
    int x = g.meta.left();
    auto label = [&](const QString &text) {
        const int width =
            caption.boundingRect(QRect(0, 0, 2000, 2000), textFlags & ~Qt::AlignVCenter, text)
                .width();
        painter->drawText(QRect(x, g.meta.top(), width, g.meta.height()),
                          textFlags | Qt::TextForceLeftToRight, text);
        x += width;
    };
    label(dateText(entry.date, QLocale()));
    x += metaGap;
    label(durationText(entry.duration));
    if (entry.source != QLatin1String("mac")) {
        x += metaGap;
        const QRect icon = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignLeft | Qt::AlignVCenter,
                                               QSize(phoneSize, phoneSize),
                                               QRect(x, g.meta.top(), phoneSize, g.meta.height()));
        painter->drawPixmap(icon, m_phoneIcon);
        x += phoneSize + sourceGap;
        label(entry.source);
    }

    if (buttonsShown(row)) {
        const bool active = window()->isActiveWindow();
        const bool copiedNow = copied(row);
        for (Button b : {Copy, Insert, Delete}) {
            QStyleOptionToolButton opt;
            static_cast<ProbeButton *>(m_probe)->initStyleOption(&opt);
            opt.rect = buttonIn(g, b);
            opt.palette = pal;
            opt.state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_Active |
                           QStyle::State_HasFocus);
            opt.state |= QStyle::State_Raised;
            if (active)
                opt.state |= QStyle::State_Active;
            if (row == hoveredRow() && m_hoverButton == b)
                opt.state |= QStyle::State_MouseOver;
            if (m_pressed.isValid() && m_pressed.row() == row && m_pressedButton == b &&
                m_hoverButton == b) {
                opt.state |= QStyle::State_Sunken;
                opt.state &= ~QStyle::State_Raised;
            }
            opt.icon = QIcon(b == Copy     ? (copiedNow ? m_checkIcon : m_copyIcon)
                             : b == Insert ? m_insertIcon
                                           : m_deleteIcon);
            style()->drawComplexControl(QStyle::CC_ToolButton, &opt, painter, m_probe);
        }
    }

    // The text, unless the selectable copy lies over it.
    if (!(m_selectorRow.isValid() && m_selectorRow.row() == row && m_selector->isVisible())) {
        painter->setFont(font());
        painter->setPen(pal.color(QPalette::WindowText));
        const Qt::LayoutDirection dir =
            entry.text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
        const int flags =
            int(QStyle::visualAlignment(dir, Qt::Alignment(textFlags))) | Qt::TextWordWrap |
            (dir == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
        painter->drawText(g.text, flags, entry.text);
    }
    painter->restore();
}
