#include "HistoryRow.h"

#include "SettingsStyle.h"
#include "Symbols.h"

#include <QClipboard>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QColor destructive()
{
    return QColor(0xd7, 0x3a, 0x31);
}

QLabel *metaLabel(const QString &text, QWidget *parent)
{
    QLabel *label = SettingsStyle::caption(text, false, parent);
    label->setWordWrap(false);
    return label;
}

QToolButton *actionButton(const QString &tooltip, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setToolTip(tooltip);
    button->setIconSize(QSize(16, 16));
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

// The copy, insert and delete buttons side by side in a widget of their own.
QWidget *makeButtons(QWidget *parent, QToolButton *&copy, QToolButton *&insert, QToolButton *&del)
{
    auto *box = new QWidget(parent);
    copy = actionButton(HistoryRow::tr("Copy"), box);
    insert = actionButton(HistoryRow::tr("Insert into the front app"), box);
    del = actionButton(HistoryRow::tr("Delete"), box);
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    for (QToolButton *b : {copy, insert, del}) {
        b->setIcon(QIcon(Symbols::pixmap(QStringLiteral("trash"), Qt::black, 16)));
        layout->addWidget(b);
    }
    // The buttons keep their room while hidden, so the row does not jump on hover.
    QSizePolicy keep = box->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    box->setSizePolicy(keep);
    return box;
}

// The room the buttons take, measured once.
QSize buttonsRoom()
{
    static const QSize room = [] {
        QWidget probe;
        QToolButton *a = nullptr, *b = nullptr, *c = nullptr;
        return makeButtons(&probe, a, b, c)->sizeHint();
    }();
    return room;
}

} // namespace

QString HistoryRow::dateText(const QDateTime &date, const QLocale &locale)
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

QString HistoryRow::durationText(double seconds)
{
    return QString::asprintf("%.1f", seconds) + QStringLiteral("s");
}

HistoryRow::HistoryRow(const HistoryEntry &entry, OnInsert onInsert, OnDelete onDelete,
                       QWidget *parent)
    : QWidget(parent), m_entry(entry), m_onInsert(std::move(onInsert)),
      m_onDelete(std::move(onDelete)), m_meta(new QHBoxLayout), m_text(new QLabel(entry.text, this))
{
    SettingsStyle::initSymbols();
    setAttribute(Qt::WA_Hover);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(12, 5, 12, 5);
    column->setSpacing(5);

    QHBoxLayout *meta = m_meta;
    meta->setContentsMargins(0, 0, 0, 0);
    meta->setSpacing(6);
    meta->addWidget(metaLabel(dateText(entry.date, QLocale()), this));
    meta->addWidget(metaLabel(durationText(entry.duration), this));
    if (entry.source != QLatin1String("mac")) {
        m_source = new QWidget(this);
        m_source->setObjectName(QStringLiteral("source"));
        auto *sourceLayout = new QHBoxLayout(m_source);
        sourceLayout->setContentsMargins(0, 0, 0, 0);
        sourceLayout->setSpacing(3);
        m_sourceIcon = new QLabel(m_source);
        sourceLayout->addWidget(m_sourceIcon);
        sourceLayout->addWidget(metaLabel(entry.source, m_source));
        meta->addWidget(m_source);
    }
    meta->addStretch(1);
    // A full history has a thousand rows and the pointer visits few: the buttons are made on the
    // first visit, in a room kept for them from the start, so the row does not grow then.
    const QSize room = buttonsRoom();
    m_buttonsRoom =
        new QSpacerItem(room.width(), room.height(), QSizePolicy::Fixed, QSizePolicy::Fixed);
    meta->addItem(m_buttonsRoom);
    column->addLayout(meta);

    m_text->setObjectName(QStringLiteral("transcript"));
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    // Selectable once the pointer comes near: a selectable label carries a whole text document,
    // and a full history has a thousand of them.
    m_text->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    column->addWidget(m_text);

    paintIcons();
}

void HistoryRow::ensureButtons()
{
    if (m_buttons)
        return;
    m_buttons = makeButtons(this, m_copy, m_insert, m_delete);
    if (m_buttonsRoom) {
        const int at = m_meta->indexOf(m_buttonsRoom);
        m_meta->removeItem(m_buttonsRoom);
        delete m_buttonsRoom;
        m_buttonsRoom = nullptr;
        m_meta->insertWidget(at, m_buttons);
    } else {
        m_meta->addWidget(m_buttons);
    }

    connect(m_copy, &QToolButton::clicked, this, &HistoryRow::copy);
    connect(m_insert, &QToolButton::clicked, this, [this] {
        if (m_onInsert)
            m_onInsert(m_entry.text);
    });
    connect(m_delete, &QToolButton::clicked, this, [this] {
        // The owner deletes this row when the history changes; leave the click first.
        if (auto onDelete = m_onDelete)
            QTimer::singleShot(0, this, [onDelete] { onDelete(); });
    });
    paintIcons();
    updateButtons();
}

QToolButton *HistoryRow::copyButton()
{
    ensureButtons();
    return m_copy;
}

QToolButton *HistoryRow::insertButton()
{
    ensureButtons();
    return m_insert;
}

QToolButton *HistoryRow::deleteButton()
{
    ensureButtons();
    return m_delete;
}

void HistoryRow::copy()
{
    ensureButtons();
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_entry.text);
    setCopied(true);
    // Each copy ends its own check mark; an earlier one still ends at its own time.
    QTimer::singleShot(copiedMs, this, [this] { setCopied(false); });
}

void HistoryRow::setDivider(bool divider)
{
    if (m_divider == divider)
        return;
    m_divider = divider;
    update();
}

void HistoryRow::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    if (m_hovering) {
        QColor wash = palette().color(QPalette::Highlight);
        wash.setAlphaF(0.06f);
        p.fillRect(rect().adjusted(1, 0, -1, 0), wash);
    }
    if (m_divider) {
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.1f);
        p.setPen(line);
        p.drawLine(12, 0, width() - 12, 0);
    }
}

void HistoryRow::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setHovering(true);
}

void HistoryRow::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void HistoryRow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        paintIcons();
}

void HistoryRow::setHovering(bool hovering)
{
    if (m_hovering == hovering)
        return;
    m_hovering = hovering;
    if (hovering)
        ensureButtons();
    updateButtons();
    update();
}

void HistoryRow::setCopied(bool copied)
{
    if (m_copied == copied)
        return;
    m_copied = copied;
    paintIcons();
    updateButtons();
}

void HistoryRow::updateButtons()
{
    if (m_buttons)
        m_buttons->setVisible(m_hovering || m_copied);
}

void HistoryRow::paintIcons()
{
    const QColor normal = palette().color(QPalette::WindowText);
    const qreal dpr = devicePixelRatioF();
    if (m_sourceIcon)
        m_sourceIcon->setPixmap(
            Symbols::pixmap(QStringLiteral("iphone"), SettingsStyle::secondary(this), 12, dpr));
    if (!m_buttons)
        return;
    auto icon = [&](const QString &name, const QColor &color) {
        return QIcon(Symbols::pixmap(name, color, 16, dpr));
    };
    m_copy->setIcon(icon(m_copied ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"),
                         m_copied ? QColor(0x2e, 0xa0, 0x43) : normal));
    m_copy->setProperty("symbol",
                        m_copied ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"));
    m_insert->setIcon(icon(QStringLiteral("arrow.down.doc"), normal));
    m_delete->setIcon(icon(QStringLiteral("trash"), destructive()));
}
