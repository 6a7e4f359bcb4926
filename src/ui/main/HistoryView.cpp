#include "ui/main/HistoryView.h"

#include "state/AppState.h"
#include "ui/main/HistoryList.h"
#include "ui/main/HistoryModel.h"
#include "desktop/HotkeyKindInfo.h"
#include "ui/main/SettingsStyle.h"
#include "Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QColor destructive()
{
    return QColor(0xd7, 0x3a, 0x31);
}

} // namespace

QList<HistoryEntry> HistoryView::results(const History &history, const QString &query,
                                         const QLocale &locale)
{
    if (query.isEmpty())
        return history.entries;
    const QString wanted = locale.toLower(query);
    QList<HistoryEntry> found;
    for (const HistoryEntry &entry : history.entries) {
        if (locale.toLower(entry.text).contains(wanted, Qt::CaseInsensitive))
            found.append(entry);
    }
    return found;
}

HistoryView::HistoryView(AppState *state, OnInsert onInsert, QWidget *parent)
    : QWidget(parent), m_state(state), m_onInsert(std::move(onInsert)), m_search(new QLineEdit),
      m_clear(new QToolButton), m_pages(new QStackedWidget), m_emptyIcon(new QLabel),
      m_emptyText(new QLabel), m_notice(new QLabel), m_model(new HistoryModel(this)),
      m_list(new HistoryList(m_model, m_onInsert,
                             [this](const HistoryEntry &entry) { remove(entry); }))
{
    SettingsStyle::initSymbols();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The bar above the list: the title, the search and "Clear".
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(20, 14, 16, 10);
    bar->setSpacing(10);
    auto *title = new QLabel(tr("History"));
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.35);
    f.setBold(true);
    title->setFont(f);
    bar->addWidget(title);
    bar->addStretch(1);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(tr("Search transcripts"));
    m_search->setClearButtonEnabled(true);
    m_search->setMinimumWidth(220);
    m_search->addAction(QIcon(), QLineEdit::LeadingPosition)
        ->setObjectName(QStringLiteral("searchIcon"));
    connect(m_search, &QLineEdit::textChanged, this, &HistoryView::setQuery);
    bar->addWidget(m_search);
    m_clear->setObjectName(QStringLiteral("clear"));
    m_clear->setText(tr("Clear"));
    m_clear->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_clear->setAutoRaise(true);
    m_clear->setIconSize(QSize(16, 16));
    connect(m_clear, &QToolButton::clicked, this, &HistoryView::askToClear);
    bar->addWidget(m_clear);
    layout->addLayout(bar);

    // No transcripts at all.
    auto *empty = new QWidget;
    auto *emptyLayout = new QVBoxLayout(empty);
    emptyLayout->setContentsMargins(40, 0, 40, 40);
    emptyLayout->setSpacing(8);
    emptyLayout->addStretch(1);
    emptyLayout->addWidget(m_emptyIcon, 0, Qt::AlignHCenter);
    auto *emptyTitle = new QLabel(tr("No transcripts yet"));
    QFont tf = emptyTitle->font();
    tf.setPointSizeF(tf.pointSizeF() * 1.2);
    tf.setBold(true);
    emptyTitle->setFont(tf);
    emptyTitle->setAlignment(Qt::AlignHCenter);
    emptyLayout->addWidget(emptyTitle);
    m_emptyText->setObjectName(QStringLiteral("emptyDescription"));
    m_emptyText->setAlignment(Qt::AlignHCenter);
    m_emptyText->setWordWrap(true);
    QPalette ep = m_emptyText->palette();
    ep.setColor(QPalette::WindowText, SettingsStyle::secondary(this));
    m_emptyText->setPalette(ep);
    emptyLayout->addWidget(m_emptyText);
    emptyLayout->addStretch(2);
    m_pages->addWidget(empty);

    // The list: rows on one card, the newest first.
    m_pages->addWidget(m_list);
    layout->addWidget(m_pages, 1);
    m_notice->setObjectName(QStringLiteral("notice"));
    m_notice->setWordWrap(true);
    m_notice->setContentsMargins(20, 6, 20, 10);
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_notice->hide();
    layout->addWidget(m_notice);

    connect(m_state, &AppState::historyChanged, this, &HistoryView::showResults);
    connect(m_state, &AppState::hotkeyInEffectChanged, this, &HistoryView::updateEmptyText);
    connect(m_state, &AppState::holdKeyAdviceChanged, this, &HistoryView::updateEmptyText);
    paintIcons();
    updateEmptyText();
    showResults();
}

void HistoryView::setQuery(const QString &query)
{
    if (m_query == query)
        return;
    m_query = query;
    if (m_search->text() != query)
        m_search->setText(query);
    showResults();
}

void HistoryView::setNotice(const QString &text)
{
    m_notice->setText(text);
    m_notice->setVisible(!text.isEmpty());
}

void HistoryView::updateEmptyText()
{
    // A key the desktop assigned (Wayland) stands for the one picked.
    const QString key = m_state->holdKeyAdvice().key;
    m_emptyText->setText(
        tr("Hold %1 and talk, or click the floating button.")
            .arg(key.isEmpty() ? HotkeyKindInfo::inText(m_state->hotkeyInEffect()) : key));
}

void HistoryView::showResults()
{
    const History &history = m_state->history();
    const bool empty = history.entries.isEmpty();
    m_pages->setCurrentIndex(empty ? 0 : 1);
    m_search->setVisible(!empty);
    m_clear->setEnabled(!empty);
    m_model->setEntries(results(history, m_query, QLocale()));
}

bool HistoryView::showsEmptyState() const
{
    return m_pages->currentIndex() == 0;
}

void HistoryView::remove(const HistoryEntry &entry)
{
    History h = m_state->history();
    h.remove(entry);
    m_state->setHistory(h);
    m_state->saveHistory();
}

void HistoryView::askToClear()
{
    if (m_confirmation || m_state->history().entries.isEmpty())
        return;
    auto *box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Vesk Voice"));
    box->setIcon(QMessageBox::Warning);
    box->setText(tr("Delete every transcript?"));
    box->setInformativeText(tr("This cannot be undone."));
    QPushButton *deleteAll = box->addButton(tr("Delete all"), QMessageBox::DestructiveRole);
    deleteAll->setObjectName(QStringLiteral("deleteAll"));
    QPushButton *cancel = box->addButton(tr("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::buttonClicked, this, [this, deleteAll](QAbstractButton *button) {
        if (button == deleteAll)
            clearAll();
    });
    m_confirmation = box;
    box->open();
}

void HistoryView::clearAll()
{
    History h = m_state->history();
    h.entries.clear();
    m_state->setHistory(h);
    m_state->saveHistory();
}

void HistoryView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        paintIcons();
}

void HistoryView::paintIcons()
{
    const qreal dpr = devicePixelRatioF();
    m_emptyIcon->setPixmap(
        Symbols::pixmap(QStringLiteral("waveform"), SettingsStyle::secondary(this), 44, dpr));
    QIcon trash(Symbols::pixmap(QStringLiteral("trash"), destructive(), 16, dpr));
    trash.addPixmap(
        Symbols::pixmap(QStringLiteral("trash"), SettingsStyle::secondary(this), 16, dpr),
        QIcon::Disabled);
    m_clear->setIcon(trash);
    QPalette p = m_clear->palette();
    p.setColor(QPalette::Active, QPalette::ButtonText, destructive());
    p.setColor(QPalette::Inactive, QPalette::ButtonText, destructive());
    m_clear->setPalette(p);
    if (auto *icon = m_search->findChild<QAction *>(QStringLiteral("searchIcon")))
        icon->setIcon(QIcon(Symbols::pixmap(QStringLiteral("magnifyingglass"),
                                            SettingsStyle::secondary(this), 14, dpr)));
}
