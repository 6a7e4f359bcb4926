#pragma once

#include "records/History.h"

#include <QAbstractListModel>

// The transcripts the history pane shows, one row each. Changes arrive as whole lists (the
// history after each change, or the results of a search); rows that stay keep their place, so a
// new transcript or a deletion touches only its own row.
class HistoryModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role
    {
        IdRole = Qt::UserRole + 1,
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const HistoryEntry &entry(int row) const { return m_entries.at(row); }
    const QList<HistoryEntry> &entries() const { return m_entries; }
    int rowOf(const QUuid &id) const;

    // Shows `entries` instead: a few insertions and removals are told as such, anything bigger
    // (a search, a clear) as a reset.
    void setEntries(const QList<HistoryEntry> &entries);

private:
    QList<HistoryEntry> m_entries;
};
