#pragma once

#include "records/Config.h"
#include "ui/main/SettingsServices.h"

#include <QPointer>
#include <QWidget>
#include <functional>

#include "state/AppState.h"
class HistoryView;
class QListWidget;
class QStackedWidget;
class SettingsView;

// The main window's content: a sidebar with History and Settings beside the chosen pane.
class MainView : public QWidget
{
    Q_OBJECT
public:
    enum class Tab
    {
        history,
        settings
    };
    Q_ENUM(Tab)

    using OnSave = std::function<void(const Config &)>;
    using OnInsert = std::function<void(const QString &)>;

    // "history" or "settings".
    static QString rawValue(Tab tab);
    static QString title(Tab tab);
    static QString icon(Tab tab);
    static QList<Tab> allTabs() { return {Tab::history, Tab::settings}; }

    MainView(AppState *state, Tab tab, OnSave onSave, OnInsert onInsert, SettingsServices services,
             QWidget *parent = nullptr);

    Tab tab() const { return m_tab; }
    void setTab(Tab tab);

    HistoryView *history() const { return m_history; }
    SettingsView *settings() const { return m_settings; }
    QListWidget *sidebar() const { return m_sidebar; }

    // The sidebar's width: 150 to 200, ideally 165.
    static constexpr int sidebarMin = 150;
    static constexpr int sidebarIdeal = 165;
    static constexpr int sidebarMax = 200;

Q_SIGNALS:
    void tabChanged(MainView::Tab tab);

protected:
    void changeEvent(QEvent *event) override;

private:
    void paintIcons();

    QPointer<AppState> m_state;
    Tab m_tab;
    QListWidget *m_sidebar;
    QStackedWidget *m_panes;
    HistoryView *m_history;
    SettingsView *m_settings;
};
