#pragma once

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

    // Never reports failure. A file that exists but does not decode is set aside, not overwritten.
    void save() const;
    void saveTo(const QString &path) const;

    // Strict decoder: any malformed entry fails the whole file; `why` then says where.
    static std::optional<History> decode(const QByteArray &json, QString *why = nullptr);
    QByteArray encode() const;

    // A thousand long transcripts stay far below this; anything larger is not a history.
    static constexpr qint64 maxFileBytes = 64 * 1024 * 1024;

    // An empty history when the file is missing or unreadable (then `problem` says which file
    // and why); never writes.
    static History load(QString *problem = nullptr);
    static History loadFrom(const QString &path, QString *problem = nullptr);
    static QString fileURL();
};
