#pragma once

#include "records/DataFiles.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

struct HistoryEntry
{
    QUuid id;
    QDateTime date;
    QString text;
    double duration = 0;
    QString model;
    QString source;

    bool operator==(const HistoryEntry &) const = default;

    // A new entry with a random id, stamped now.
    static HistoryEntry make(const QString &text, double duration, const QString &model,
                             const QString &source);
};

// The transcripts, newest first, kept whole in history.json.
struct History
{
    static constexpr qsizetype cap = 1000;

    QList<HistoryEntry> entries;

    bool operator==(const History &) const = default;

    // Puts the entry first and drops the oldest beyond the cap. The caller saves.
    void add(const HistoryEntry &entry);
    // Removes every entry with the same id.
    void remove(const HistoryEntry &entry);

    // A file that exists but does not decode is set aside, not overwritten. A failed write leaves
    // the old file as it was.
    DataFiles::WriteResult save() const;
    DataFiles::WriteResult saveTo(const QString &path) const;

    // The list after a save that found the file changed by someone else since `base` was read or
    // written, entry by entry (by id): what we added or removed stays so, and so does what was
    // added, removed or edited in the file; newest first.
    static History merged(const History &base, const History &onDisk, const History &ours);

    // Strict decoder: any malformed entry fails the whole file; `why` then says where.
    static std::optional<History> decode(const QByteArray &json, QString *why = nullptr);
    QByteArray encode() const;

    // A thousand long transcripts stay far below this; anything larger is not a history.
    static constexpr qint64 maxFileBytes = 64 * 1024 * 1024;

    // An empty history when the file is missing or unreadable (then `problem` says which file
    // and why); never writes.
    // `stamp` gets the file's as read, when there is one.
    static History load(QString *problem = nullptr,
                        std::optional<DataFiles::Stamp> *stamp = nullptr);
    static History loadFrom(const QString &path, QString *problem = nullptr,
                            std::optional<DataFiles::Stamp> *stamp = nullptr);
    static QString fileURL();
};
