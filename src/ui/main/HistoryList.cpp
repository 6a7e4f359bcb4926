#include "ui/main/HistoryList.h"

#include "ui/main/HistoryModel.h"
#include "ui/main/HistoryRowFormat.h"
#include "ui/main/SettingsStyle.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

HistoryList::HistoryList(HistoryModel *model, OnInsert onInsert, OnDelete onDelete, QWidget *parent)
    : QListView(parent), m_model(model), m_onInsert(std::move(onInsert)),
      m_onDelete(std::move(onDelete)), m_selector(new QLabel(viewport()))
{
    SettingsStyle::initSymbols();
    m_painter = new HistoryRowPainter(this);
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
    setItemDelegate(m_painter);
    setModel(model);

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

HistoryList::~HistoryList() = default;

void HistoryList::refreshLooks()
{
    m_painter->refresh();
    m_selector->setFont(font());
    scheduleDelayedItemsLayout();
}

HistoryRowLayout::Row HistoryList::layoutRow(int row) const
{
    return m_layout.layout(visualRect(m_model->index(row)), row, m_model->rowCount());
}

QRect HistoryList::rowRect(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return {};
    return layoutRow(row).inner;
}

QRect HistoryList::textRect(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return {};
    return layoutRow(row).text;
}

QRect HistoryList::buttonRect(int row, Button button) const
{
    if (row < 0 || row >= m_model->rowCount())
        return {};
    return m_layout.button(layoutRow(row), int(button));
}

HistoryRowPainter::State HistoryList::rowState(int row) const
{
    HistoryRowPainter::State state;
    state.keyboard = row == keyboardRow();
    state.hovered = row == hoveredRow();
    state.buttonsShown = buttonsShown(row);
    state.copied = copied(row);
    state.textCovered =
        m_selectorRow.isValid() && m_selectorRow.row() == row && m_selector->isVisible();
    state.hoverButton = state.hovered ? m_hoverButton : -1;
    if (m_pressed.isValid() && m_pressed.row() == row && m_pressedButton == m_hoverButton)
        state.sunkenButton = m_pressedButton;
    return state;
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
    return layoutRow(index.row()).inner.contains(pos) ? index.row() : -1;
}

int HistoryList::buttonAt(const QPoint &pos) const
{
    return buttonAt(pos, rowAt(pos));
}

int HistoryList::buttonAt(const QPoint &pos, int row) const
{
    if (!buttonsShown(row))
        return -1;
    const HistoryRowLayout::Row g = layoutRow(row);
    for (Button b : {Copy, Insert, Delete}) {
        if (m_layout.button(g, int(b)).contains(pos))
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
        QAction *action = menu.addAction(HistoryRowFormat::buttonTip(button));
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
    m_painter->forgetCard();
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
