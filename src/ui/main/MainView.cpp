#include "ui/main/MainView.h"

#include "state/AppState.h"
#include "ui/main/HistoryView.h"
#include "ui/main/SettingsStyle.h"
#include "ui/main/SettingsView.h"
#include "Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QSplitter>
#include <QStackedWidget>

QString MainView::rawValue(Tab tab)
{
    return tab == Tab::history ? QStringLiteral("history") : QStringLiteral("settings");
}

QString MainView::title(Tab tab)
{
    return tab == Tab::history ? tr("History") : tr("Settings");
}

QString MainView::icon(Tab tab)
{
    return tab == Tab::history ? QStringLiteral("clock.arrow.circlepath")
                               : QStringLiteral("gearshape");
}

MainView::MainView(AppState *state, Tab tab, OnSave onSave, OnInsert onInsert,
                   SettingsServices services, QWidget *parent)
    : QWidget(parent), m_state(state), m_tab(tab), m_sidebar(new QListWidget),
      m_panes(new QStackedWidget), m_history(new HistoryView(state, std::move(onInsert))),
      m_settings(new SettingsView(state, std::move(onSave), std::move(services)))
{
    SettingsStyle::initSymbols();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *split = new QSplitter(Qt::Horizontal);
    split->setChildrenCollapsible(false);
    split->setHandleWidth(1);
    layout->addWidget(split);

    m_sidebar->setObjectName(QStringLiteral("sidebar"));
    m_sidebar->setMinimumWidth(sidebarMin);
    m_sidebar->setMaximumWidth(sidebarMax);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setIconSize(QSize(18, 18));
    m_sidebar->setSpacing(2);
    m_sidebar->setSelectionMode(QAbstractItemView::SingleSelection);
    // A calm sidebar: a tinted selection in the accent colour, text in the normal colour.
    QColor tint = palette().color(QPalette::Highlight);
    tint.setAlphaF(0.16f);
    const QColor side = palette().color(QPalette::Window).darker(104);
    m_sidebar->setStyleSheet(
        QStringLiteral("QListWidget#sidebar { background: %1; border: none; "
                       "border-right: 1px solid palette(midlight); padding: 12px 8px; outline: 0; }"
                       "QListWidget#sidebar::item { padding: 6px 8px; border-radius: 6px; "
                       "color: palette(window-text); }"
                       "QListWidget#sidebar::item:selected { background: %2; "
                       "color: palette(window-text); }")
            .arg(side.name(), tint.name(QColor::HexArgb)));
    for (Tab t : allTabs()) {
        auto *item = new QListWidgetItem(title(t), m_sidebar);
        item->setData(Qt::UserRole, rawValue(t));
    }
    split->addWidget(m_sidebar);

    m_panes->addWidget(m_history);
    m_panes->addWidget(m_settings);
    split->addWidget(m_panes);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({sidebarIdeal, 820 - sidebarIdeal});

    // Exactly one tab is always chosen: a click into empty sidebar space keeps the current one.
    connect(m_sidebar, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> selected = m_sidebar->selectedItems();
        if (selected.isEmpty()) {
            setTab(m_tab);
            m_sidebar->item(int(m_tab))->setSelected(true);
            return;
        }
        setTab(Tab(m_sidebar->row(selected.first())));
    });
    paintIcons();
    m_sidebar->setCurrentRow(int(m_tab));
    m_panes->setCurrentIndex(int(m_tab));
}

void MainView::setTab(Tab tab)
{
    const bool changed = m_tab != tab;
    m_tab = tab;
    if (m_sidebar->currentRow() != int(tab))
        m_sidebar->setCurrentRow(int(tab));
    m_panes->setCurrentIndex(int(tab));
    if (changed)
        Q_EMIT tabChanged(tab);
}

void MainView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        paintIcons();
}

void MainView::paintIcons()
{
    const QColor accent = palette().color(QPalette::Highlight);
    for (Tab t : allTabs()) {
        QIcon icon;
        icon.addPixmap(Symbols::pixmap(MainView::icon(t), accent, 18, devicePixelRatioF()),
                       QIcon::Normal);
        icon.addPixmap(Symbols::pixmap(MainView::icon(t), accent, 18, devicePixelRatioF()),
                       QIcon::Selected);
        m_sidebar->item(int(t))->setIcon(icon);
    }
}
