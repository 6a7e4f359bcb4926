#include "ui/main/HistoryModel.h"

#include <QSet>

namespace {

// Beyond this many separate insertions and removals a reset is cheaper for the view.
constexpr int maxSteps = 4;

struct Step
{
    bool insert;
    int at;    // the row in the list as it is when the step runs
    int count; // rows
    int from;  // for an insertion: the first of the new entries
};

} // namespace

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const HistoryEntry &e = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return e.text;
    case IdRole:
        return e.id;
    default:
        return {};
    }
}

int HistoryModel::rowOf(const QUuid &id) const
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].id == id)
            return i;
    }
    return -1;
}

void HistoryModel::setEntries(const QList<HistoryEntry> &entries)
{
    // Both lists keep the history's order, so one walk finds the rows that came and went.
    QSet<QUuid> oldIds, newIds;
    oldIds.reserve(m_entries.size());
    newIds.reserve(entries.size());
    for (const HistoryEntry &e : std::as_const(m_entries))
        oldIds.insert(e.id);
    for (const HistoryEntry &e : entries)
        newIds.insert(e.id);

    QList<Step> steps;
    bool fits = true;
    qsizetype i = 0, j = 0;
    int row = 0; // where the walk stands in the list as changed so far
    while (fits && (i < entries.size() || j < m_entries.size())) {
        if (i < entries.size() && j < m_entries.size() && entries[i].id == m_entries[j].id) {
            ++i, ++j, ++row;
        } else if (j < m_entries.size() && !newIds.contains(m_entries[j].id)) {
            if (!steps.isEmpty() && !steps.last().insert && steps.last().at == row)
                ++steps.last().count;
            else
                steps.append({false, row, 1, 0});
            ++j;
        } else if (i < entries.size() && !oldIds.contains(entries[i].id)) {
            if (!steps.isEmpty() && steps.last().insert &&
                steps.last().at + steps.last().count == row)
                ++steps.last().count;
            else
                steps.append({true, row, 1, int(i)});
            ++i, ++row;
        } else {
            fits = false; // moved: not something the history does
        }
        if (steps.size() > maxSteps)
            fits = false;
    }

    if (!fits) {
        beginResetModel();
        m_entries = entries;
        endResetModel();
        return;
    }
    for (const Step &s : std::as_const(steps)) {
        if (s.insert) {
            beginInsertRows({}, s.at, s.at + s.count - 1);
            m_entries.insert(s.at, s.count, HistoryEntry());
            std::copy(entries.begin() + s.from, entries.begin() + s.from + s.count,
                      m_entries.begin() + s.at);
            endInsertRows();
        } else {
            beginRemoveRows({}, s.at, s.at + s.count - 1);
            m_entries.remove(s.at, s.count);
            endRemoveRows();
        }
    }
    // The same rows now; an entry never changes under its id, so the rows that stayed need no
    // repaint.
    m_entries = entries;
}
