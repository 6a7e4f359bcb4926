#pragma once

#include "records/History.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "state/AppState.h"
class HistoryList;
class HistoryModel;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QToolButton;

// The History pane: every transcript, newest first, searchable as typed, each one ready to copy,
// insert again or delete; "Clear" empties it all after a confirmation.
class HistoryView : public QWidget
{
    Q_OBJECT
public:
    using OnInsert = std::function<void(const QString &)>;

    HistoryView(AppState *state, OnInsert onInsert, QWidget *parent = nullptr);

    QString query() const { return m_query; }
    void setQuery(const QString &query);
    // The entries to show: all of them for an empty query, else those whose text contains the
    // query, as typed, ignoring letter case by the rules of `locale`.
    static QList<HistoryEntry> results(const History &history, const QString &query,
                                       const QLocale &locale);

    bool confirmingClear() const { return m_confirmation != nullptr; }
    // Shows the confirmation; "Delete all" empties the history and its file.
    void askToClear();
    QMessageBox *confirmation() const { return m_confirmation; }

    // The list of the entries shown now.
    HistoryList *list() const { return m_list; }
    bool showsEmptyState() const;
    QLineEdit *searchField() const { return m_search; }
    QToolButton *clearButton() const { return m_clear; }
    QLabel *emptyDescription() const { return m_emptyText; }
    // A line under the list about what an action did, until the next one; empty hides it.
    void setNotice(const QString &text);
    QLabel *notice() const { return m_notice; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateEmptyText();
    void showResults();
    void remove(const HistoryEntry &entry);
    void clearAll();
    void paintIcons();

    QPointer<AppState> m_state;
    OnInsert m_onInsert;
    QString m_query;
    QPointer<QMessageBox> m_confirmation;

    QLineEdit *m_search;
    QToolButton *m_clear;
    QStackedWidget *m_pages;
    QLabel *m_emptyIcon;
    QLabel *m_emptyText;
    QLabel *m_notice;
    HistoryModel *m_model;
    HistoryList *m_list;
};
