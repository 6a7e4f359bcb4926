#include "records/Config.h"

#include "records/DataFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace {

using DataFiles::ownerReadWrite;

void readString(const QJsonObject &o, const char *key, QString &field)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isString())
        field = v.toString();
}

void readBool(const QJsonObject &o, const char *key, bool &field)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isBool())
        field = v.toBool();
}

void readDouble(const QJsonObject &o, const char *key, double &field)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isDouble())
        field = v.toDouble();
}

void readOptionalDouble(const QJsonObject &o, const char *key, std::optional<double> &field)
{
    const QJsonValue v = o.value(QLatin1String(key));
    field = v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

// A number that is a whole value in the signed 64-bit range; 300.5 or "300" keep the default.
void readInt64(const QJsonObject &o, const char *key, qint64 &field)
{
    const QJsonValue v = o.value(QLatin1String(key));
    // toInteger() answers its fallback for anything that is not a whole qint64: two different
    // fallbacks agree only on a real value.
    if (const qint64 value = v.toInteger(0); value == v.toInteger(1))
        field = value;
}

void readStringList(const QJsonObject &o, const char *key, QStringList &field)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isArray())
        return;
    QStringList list;
    for (const QJsonValue &item : v.toArray()) {
        if (!item.isString())
            return;
        list.append(item.toString());
    }
    field = list;
}

QJsonObject encodeObject(const Config &c)
{
    QJsonObject o;
    o.insert(QStringLiteral("apiKey"), c.apiKey);
    o.insert(QStringLiteral("model"), c.model);
    o.insert(QStringLiteral("transcriptionMode"), c.transcriptionMode);
    o.insert(QStringLiteral("languageCodes"), QJsonArray::fromStringList(c.languageCodes));
    o.insert(QStringLiteral("customVocabulary"), QJsonArray::fromStringList(c.customVocabulary));
    o.insert(QStringLiteral("prompt"), c.prompt);
    o.insert(QStringLiteral("thinkingLevel"), c.thinkingLevel);
    o.insert(QStringLiteral("insertMethod"), c.insertMethod);
    o.insert(QStringLiteral("newlineMode"), c.newlineMode);
    o.insert(QStringLiteral("hotkey"), rawValue(c.hotkey));
    o.insert(QStringLiteral("holdThresholdMs"), c.holdThresholdMs);
    o.insert(QStringLiteral("minRecordingMs"), c.minRecordingMs);
    o.insert(QStringLiteral("hudVisible"), c.hudVisible);
    if (c.hudX)
        o.insert(QStringLiteral("hudX"), *c.hudX);
    if (c.hudY)
        o.insert(QStringLiteral("hudY"), *c.hudY);
    o.insert(QStringLiteral("inputDeviceID"), c.inputDeviceID);
    if (!c.inputDeviceName.isEmpty())
        o.insert(QStringLiteral("inputDeviceName"), c.inputDeviceName);
    o.insert(QStringLiteral("trimSilence"), c.trimSilence);
    o.insert(QStringLiteral("keepSilenceSeconds"), c.keepSilenceSeconds);
    o.insert(QStringLiteral("sounds"), c.sounds);
    o.insert(QStringLiteral("keepAudio"), c.keepAudio);
    o.insert(QStringLiteral("audioFormat"), c.audioFormat);
    o.insert(QStringLiteral("onboardingDone"), c.onboardingDone);
    o.insert(QStringLiteral("launchAtLogin"), c.launchAtLogin);
    // Written only when chosen: a file of the defaults keeps the standard keys.
    if (c.readInputDevices)
        o.insert(QStringLiteral("readInputDevices"), true);
    if (!c.spaceBetweenDictations)
        o.insert(QStringLiteral("spaceBetweenDictations"), false);
    if (!c.liveModels.isEmpty())
        o.insert(QStringLiteral("liveModels"), QJsonArray::fromStringList(c.liveModels));
    return o;
}

} // namespace

QString Config::resolvedApiKey() const
{
    if (!apiKey.isEmpty())
        return apiKey;
    return qEnvironmentVariable("GEMINI_API_KEY");
}

std::optional<Config> Config::decode(const QByteArray &json, QString *why)
{
    const std::optional<QJsonObject> object = DataFiles::parseObject(json, why);
    if (!object)
        return std::nullopt;
    const QJsonObject &o = *object;

    Config c;
    readString(o, "apiKey", c.apiKey);
    readString(o, "model", c.model);
    readString(o, "transcriptionMode", c.transcriptionMode);
    readStringList(o, "languageCodes", c.languageCodes);
    readStringList(o, "customVocabulary", c.customVocabulary);
    readString(o, "prompt", c.prompt);
    readString(o, "thinkingLevel", c.thinkingLevel);
    readString(o, "insertMethod", c.insertMethod);
    readString(o, "newlineMode", c.newlineMode);
    if (const QJsonValue v = o.value(QLatin1String("hotkey")); v.isString())
        c.hotkey = hotkeyKindFromRaw(v.toString()).value_or(Config().hotkey);
    readInt64(o, "holdThresholdMs", c.holdThresholdMs);
    readInt64(o, "minRecordingMs", c.minRecordingMs);
    readBool(o, "hudVisible", c.hudVisible);
    readOptionalDouble(o, "hudX", c.hudX);
    readOptionalDouble(o, "hudY", c.hudY);
    readString(o, "inputDeviceID", c.inputDeviceID);
    readString(o, "inputDeviceName", c.inputDeviceName);
    readBool(o, "trimSilence", c.trimSilence);
    readDouble(o, "keepSilenceSeconds", c.keepSilenceSeconds);
    readBool(o, "sounds", c.sounds);
    readBool(o, "keepAudio", c.keepAudio);
    readString(o, "audioFormat", c.audioFormat);
    if (c.audioFormat != QLatin1String("flac") && c.audioFormat != QLatin1String("ogg"))
        c.audioFormat = Config().audioFormat;
    readBool(o, "onboardingDone", c.onboardingDone);
    readBool(o, "launchAtLogin", c.launchAtLogin);
    readBool(o, "readInputDevices", c.readInputDevices);
    readBool(o, "spaceBetweenDictations", c.spaceBetweenDictations);
    readStringList(o, "liveModels", c.liveModels);
    return c;
}

QByteArray Config::encode() const
{
    // QJsonObject keeps its keys sorted, so the file lists them in sorted order.
    return QJsonDocument(encodeObject(*this)).toJson(QJsonDocument::Indented);
}

Config Config::merged(const Config &base, const Config &onDisk, const Config &ours)
{
    const QJsonObject was = encodeObject(base);
    const QJsonObject mine = encodeObject(ours);
    QJsonObject result = encodeObject(onDisk);
    for (const QJsonObject *side : {&was, &mine}) {
        for (auto it = side->begin(); it != side->end(); ++it) {
            const QString &key = it.key();
            if (mine.value(key) == was.value(key))
                continue;
            if (mine.contains(key))
                result.insert(key, mine.value(key));
            else
                result.remove(key);
        }
    }
    return decode(QJsonDocument(result).toJson()).value_or(ours);
}

QStringList Config::differingKeys(const Config &a, const Config &b)
{
    const QJsonObject one = encodeObject(a);
    const QJsonObject other = encodeObject(b);
    QStringList keys;
    for (const QJsonObject *side : {&one, &other}) {
        for (auto it = side->begin(); it != side->end(); ++it) {
            if (one.value(it.key()) != other.value(it.key()) && !keys.contains(it.key()))
                keys.append(it.key());
        }
    }
    keys.sort();
    return keys;
}

DataFiles::WriteResult Config::save() const
{
    return saveTo(fileURL());
}

DataFiles::WriteResult Config::saveTo(const QString &path) const
{
    DataFiles::ensureFolder(QFileInfo(path).absolutePath());
    DataFiles::setAsideIfUnreadable(
        path, maxFileBytes, [](const QByteArray &bytes) { return decode(bytes).has_value(); });
    return DataFiles::writeAtomically(path, encode(), ownerReadWrite);
}

Config Config::load(QString *problem, std::optional<DataFiles::Stamp> *stamp)
{
    return loadFrom(fileURL(), problem, stamp);
}

Config Config::loadFrom(const QString &path, QString *problem,
                        std::optional<DataFiles::Stamp> *stamp)
{
    const DataFiles::ReadResult read = DataFiles::readRegularFile(path, maxFileBytes);
    QString why = read.reason;
    if (stamp)
        *stamp = read.status == DataFiles::ReadResult::Status::ok
                     ? std::optional<DataFiles::Stamp>(read.stamp)
                     : std::nullopt;
    // An empty file (a write cut short by an older version) holds nothing to keep.
    if (read.status == DataFiles::ReadResult::Status::missing ||
        (read.status == DataFiles::ReadResult::Status::ok && read.bytes.isEmpty())) {
        Config defaults;
        if (const DataFiles::WriteResult written = defaults.saveTo(path)) {
            if (stamp)
                *stamp = written.stamp;
        } else if (problem) {
            *problem = QStringLiteral("The default settings could not be written to %1 (%2).")
                           .arg(QDir::toNativeSeparators(path), written.error);
        }
        return defaults;
    }
    if (read.status == DataFiles::ReadResult::Status::ok) {
        if (auto config = decode(read.bytes, &why))
            return *config;
    }
    if (problem)
        *problem = QStringLiteral("The settings in %1 could not be read (%2); the defaults are "
                                  "used until they are saved again.")
                       .arg(QDir::toNativeSeparators(path), why);
    return Config();
}

QString Config::directoryFor(const QByteArray &envValue, const QString &genericDataLocation)
{
    if (!envValue.isEmpty())
        return QDir(QString::fromLocal8Bit(envValue)).absolutePath();
    return genericDataLocation + QStringLiteral("/Vesk Voice");
}

QString Config::directory()
{
    static const QString dir =
        directoryFor(qgetenv("VESK_DATA_DIR"),
                     QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return dir;
}

QString Config::fileURL()
{
    static const QString path = directory() + QStringLiteral("/config.json");
    return path;
}

QString Config::legacyDirectory()
{
    static const QString dir = QDir::homePath() + QStringLiteral("/.config/vesk");
    return dir;
}

void Config::migrateLegacyFiles(const QString &from, const QString &to)
{
    const QString newConfig = to + QStringLiteral("/config.json");
    if (QFileInfo::exists(newConfig))
        return;
    const QString oldConfig = from + QStringLiteral("/config.json");
    if (!QFileInfo::exists(oldConfig))
        return;
    DataFiles::ensureFolder(to);
    QFile::copy(oldConfig, newConfig);
    QFile::copy(from + QStringLiteral("/history.json"), to + QStringLiteral("/history.json"));
    QFile::setPermissions(newConfig, ownerReadWrite);
    // The folder is owner-only already; the copies keep their source's mode until set here.
    QFile::setPermissions(to + QStringLiteral("/history.json"), ownerReadWrite);
}
