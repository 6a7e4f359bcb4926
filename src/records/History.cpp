#include "records/History.h"

#include "records/Config.h"
#include "records/DataFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

std::optional<QUuid> parseUuid(const QString &s)
{
    static const QRegularExpression form(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!form.match(s).hasMatch())
        return std::nullopt;
    return QUuid::fromString(s);
}

// An internet date-time with whole seconds and a zone designator, nothing looser.
std::optional<QDateTime> parseDate(const QString &s)
{
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(Z|[+-]\\d{2}:\\d{2})$"));
    if (!form.match(s).hasMatch())
        return std::nullopt;
    const QDateTime date = QDateTime::fromString(s, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date.toUTC();
}

QString formatDate(const QDateTime &date)
{
    QDateTime utc = date.toUTC();
    utc.setTime(QTime(utc.time().hour(), utc.time().minute(), utc.time().second()));
    return utc.toString(Qt::ISODate);
}

std::optional<HistoryEntry> decodeEntry(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    const QJsonValue id = o.value(QLatin1String("id"));
    const QJsonValue date = o.value(QLatin1String("date"));
    const QJsonValue text = o.value(QLatin1String("text"));
    const QJsonValue duration = o.value(QLatin1String("duration"));
    const QJsonValue model = o.value(QLatin1String("model"));
    const QJsonValue source = o.value(QLatin1String("source"));
    if (!id.isString() || !date.isString() || !text.isString() || !duration.isDouble() ||
        !model.isString() || !source.isString())
        return std::nullopt;
    const auto uuid = parseUuid(id.toString());
    const auto when = parseDate(date.toString());
    if (!uuid || !when)
        return std::nullopt;
    return HistoryEntry{
        *uuid, *when, text.toString(), duration.toDouble(), model.toString(), source.toString()};
}

} // namespace

HistoryEntry HistoryEntry::make(const QString &text, double duration, const QString &model,
                                const QString &source)
{
    return HistoryEntry{
        QUuid::createUuid(), QDateTime::currentDateTimeUtc(), text, duration, model, source};
}

void History::add(const HistoryEntry &entry)
{
    entries.prepend(entry);
    if (entries.size() > cap)
        entries.resize(cap);
}

void History::remove(const HistoryEntry &entry)
{
    entries.removeIf([&](const HistoryEntry &e) { return e.id == entry.id; });
}

std::optional<History> History::decode(const QByteArray &json, QString *why)
{
    const std::optional<QJsonObject> object = DataFiles::parseObject(json, why);
    if (!object)
        return std::nullopt;
    const QJsonValue list = object->value(QLatin1String("entries"));
    if (!list.isArray()) {
        if (why)
            *why = QStringLiteral("it has no list of entries");
        return std::nullopt;
    }
    History history;
    const QJsonArray array = list.toArray();
    history.entries.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const auto entry = decodeEntry(array.at(i));
        if (!entry) {
            if (why)
                *why = QStringLiteral("entry %1 is malformed").arg(i + 1);
            return std::nullopt;
        }
        history.entries.append(*entry);
    }
    return history;
}

QByteArray History::encode() const
{
    QJsonArray array;
    for (const HistoryEntry &e : entries) {
        QJsonObject o;
        o.insert(QStringLiteral("id"), e.id.toString(QUuid::WithoutBraces).toUpper());
        o.insert(QStringLiteral("date"), formatDate(e.date));
        o.insert(QStringLiteral("text"), e.text);
        o.insert(QStringLiteral("duration"), e.duration);
        o.insert(QStringLiteral("model"), e.model);
        o.insert(QStringLiteral("source"), e.source);
        array.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("entries"), array);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

History History::merged(const History &base, const History &onDisk, const History &ours)
{
    const auto byId = [](const History &h) {
        QHash<QUuid, HistoryEntry> map;
        for (const HistoryEntry &e : h.entries)
            map.insert(e.id, e);
        return map;
    };
    const QHash<QUuid, HistoryEntry> was = byId(base);
    const QHash<QUuid, HistoryEntry> file = byId(onDisk);
    History result;
    for (const HistoryEntry &e : ours.entries) {
        const auto before = was.constFind(e.id);
        const auto there = file.constFind(e.id);
        if (before == was.cend())
            result.entries.append(e); // ours, new since
        else if (there == file.cend()) {
            if (*before != e)
                result.entries.append(e); // removed there, but changed here
        } else
            result.entries.append(*before == e ? *there : e);
    }
    for (const HistoryEntry &e : onDisk.entries) {
        if (!was.contains(e.id) &&
            std::none_of(ours.entries.cbegin(), ours.entries.cend(),
                         [&](const HistoryEntry &o) { return o.id == e.id; }))
            result.entries.append(e); // added there
    }
    std::stable_sort(result.entries.begin(), result.entries.end(),
                     [](const HistoryEntry &a, const HistoryEntry &b) { return a.date > b.date; });
    return result;
}

DataFiles::WriteResult History::save() const
{
    return saveTo(fileURL());
}

DataFiles::WriteResult History::saveTo(const QString &path) const
{
    DataFiles::ensureFolder(QFileInfo(path).absolutePath());
    // Loading turned an unreadable file into an empty list for the run; the file itself is kept.
    DataFiles::setAsideIfUnreadable(
        path, maxFileBytes, [](const QByteArray &bytes) { return decode(bytes).has_value(); });
    // The transcripts are the user's words: owner-only like the settings.
    return DataFiles::writeAtomically(path, encode(), DataFiles::ownerReadWrite);
}

History History::load(QString *problem, std::optional<DataFiles::Stamp> *stamp)
{
    return loadFrom(fileURL(), problem, stamp);
}

History History::loadFrom(const QString &path, QString *problem,
                          std::optional<DataFiles::Stamp> *stamp)
{
    const DataFiles::ReadResult read = DataFiles::readRegularFile(path, maxFileBytes);
    QString why = read.reason;
    if (stamp)
        *stamp = read.status == DataFiles::ReadResult::Status::ok
                     ? std::optional<DataFiles::Stamp>(read.stamp)
                     : std::nullopt;
    // An empty file (a write cut short by an older version) holds no history to keep.
    if (read.status == DataFiles::ReadResult::Status::missing ||
        (read.status == DataFiles::ReadResult::Status::ok && read.bytes.isEmpty()))
        return History();
    if (read.status == DataFiles::ReadResult::Status::ok) {
        if (auto history = decode(read.bytes, &why))
            return *history;
    }
    if (problem)
        *problem = QStringLiteral("The history in %1 could not be read (%2); it is kept aside "
                                  "and a new one is started.")
                       .arg(QDir::toNativeSeparators(path), why);
    return History();
}

QString History::fileURL()
{
    static const QString path = Config::directory() + QStringLiteral("/history.json");
    return path;
}
