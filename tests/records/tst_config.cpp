#include "records/Config.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

using TestSupport::readFile;
using TestSupport::writeFile;

} // namespace

class ConfigTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void defaultsWhenNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/sub/config.json");
        const Config loaded = Config::loadFrom(path);
        QCOMPARE(loaded, Config());
        QCOMPARE(loaded.hotkey, HotkeyKind::fn);
        QCOMPARE(loaded.prompt.size(), 167);
        // The defaults are written at once, owner-only, with every key but the two positions.
        QVERIFY(QFile::exists(path));
        QCOMPARE(TestSupport::unixMode(path), 0600);
        const QJsonObject o = QJsonDocument::fromJson(readFile(path)).object();
        QCOMPARE(o.size(), 21);
        QVERIFY(!o.contains(QStringLiteral("hudX")));
        QVERIFY(!o.contains(QStringLiteral("hudY")));
        QCOMPARE(o.value(QStringLiteral("hotkey")).toString(), QStringLiteral("fn"));
        // A folder we create holds the key: owner-only.
        QCOMPARE(TestSupport::unixMode(dir.path() + QStringLiteral("/sub")), 0700);

        // A null position is left out on save.
        writeFile(path, R"({"hudX": null, "hudY": 40})");
        Config::loadFrom(path).saveTo(path);
        const QJsonObject saved = QJsonDocument::fromJson(readFile(path)).object();
        QVERIFY(!saved.contains(QStringLiteral("hudX")));
        QCOMPARE(saved.value(QStringLiteral("hudY")).toDouble(), 40.0);
    }

    void eachBadKeyKeepsItsOwnDefault()
    {
        const auto c = Config::decode(R"({
            "model": "gemini-x",
            "holdThresholdMs": "500",
            "minRecordingMs": 250.5,
            "hotkey": "capsLock",
            "hudX": null,
            "hudY": 12.5,
            "languageCodes": ["uz-UZ", 3],
            "customVocabulary": ["Vesk", "Gemini"],
            "trimSilence": 1,
            "keepSilenceSeconds": 1,
            "sounds": false,
            "insertMethod": "anything",
            "unknownKey": {"a": 1}
        })");
        QVERIFY(c.has_value());
        QCOMPARE(c->model, QStringLiteral("gemini-x"));
        QCOMPARE(c->holdThresholdMs, 300);
        QCOMPARE(c->minRecordingMs, 400);
        QCOMPARE(c->hotkey, HotkeyKind::fn);
        QVERIFY(!c->hudX.has_value());
        QCOMPARE(c->hudY, std::optional<double>(12.5));
        QCOMPARE(c->languageCodes, QStringList());
        QCOMPARE(c->customVocabulary, (QStringList{"Vesk", "Gemini"}));
        QCOMPARE(c->trimSilence, true);
        QCOMPARE(c->keepSilenceSeconds, 1.0);
        QCOMPARE(c->sounds, false);
        QCOMPARE(c->insertMethod, QStringLiteral("anything"));
    }

    void integersHotkeysAndFormats()
    {
        QCOMPARE(Config::decode(R"({"holdThresholdMs": 3e2})")->holdThresholdMs, 300);
        QCOMPARE(Config::decode(R"({"holdThresholdMs": -20})")->holdThresholdMs, -20);
        QCOMPARE(Config::decode(R"({"holdThresholdMs": 1e30})")->holdThresholdMs, 300);
        QCOMPARE(Config::decode(R"({"holdThresholdMs": 0})")->holdThresholdMs, 0);
        QCOMPARE(Config::decode(R"({"hotkey": "controlFn"})")->hotkey, HotkeyKind::controlFn);
        QCOMPARE(Config::decode(R"({"hotkey": "rightCommand"})")->hotkey, HotkeyKind::rightCommand);
        QCOMPARE(Config::decode(R"({"hotkey": "Control"})")->hotkey, HotkeyKind::fn);
        QCOMPARE(Config::decode(R"({"hotkey": 1})")->hotkey, HotkeyKind::fn);
        QCOMPARE(Config::decode(R"({"audioFormat": "flac"})")->audioFormat, QStringLiteral("flac"));
        QCOMPARE(Config::decode(R"({"audioFormat": "ogg"})")->audioFormat, QStringLiteral("ogg"));
        QCOMPARE(Config::decode(R"({"audioFormat": "OGG"})")->audioFormat, QStringLiteral("wav"));
        QCOMPARE(Config::decode(R"({"audioFormat": "mp3"})")->audioFormat, QStringLiteral("wav"));
    }

    void notAnObjectFailsWhole()
    {
        QVERIFY(!Config::decode("[1, 2]").has_value());
        QVERIFY(!Config::decode("{\"model\": ").has_value());
        QVERIFY(!Config::decode("").has_value());
        QVERIFY(Config::decode("{}").has_value());
    }

    void roundTripAndSortedOutput()
    {
        Config c;
        c.apiKey = QStringLiteral("k");
        c.hudX = 10;
        c.languageCodes = {QStringLiteral("ru-RU"), QStringLiteral("uz-UZ")};
        c.launchAtLogin = true;
        c.readInputDevices = true;
        c.spaceBetweenDictations = false;
        c.inputDeviceName = QStringLiteral("USB Mic");
        c.audioFormat = QStringLiteral("ogg");
        c.liveModels = {QStringLiteral("gemini-native-audio")};
        const QByteArray bytes = c.encode();
        QCOMPARE(Config::decode(bytes), std::optional<Config>(c));
        const QList<QByteArray> lines = bytes.split('\n');
        QVERIFY(lines.size() > 20); // pretty: one key a line
        QStringList keys;
        for (const QByteArray &line : lines) {
            if (line.startsWith("    \""))
                keys.append(QString::fromUtf8(line.mid(5, line.indexOf('"', 5) - 5)));
        }
        QCOMPARE(keys.first(), QStringLiteral("apiKey"));
        QCOMPARE(keys.last(), QStringLiteral("trimSilence"));
        QStringList sorted = keys;
        sorted.sort();
        QCOMPARE(keys, sorted);
    }

    // Whatever is in the way is set aside by the next save (a link itself, not what it leads to),
    // never overwritten and never written through.
    void unreadableFileIsSetAsideBeforeSave_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("typo") << "typo";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("dangling link") << "dangling";
    }

    void unreadableFileIsSetAsideBeforeSave()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/config.json");
        const QString outside = dir.path() + QStringLiteral("/outside.json");
        const QByteArray typo = "{\"model\": \"mine\",, }";
        if (kind == QLatin1String("typo"))
            writeFile(path, typo);
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(outside, path));
        QString problem;
        const Config loaded = Config::loadFrom(path, &problem);
        QCOMPARE(loaded, Config());
        QVERIFY(problem.contains(path));
        const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::System);
        QCOMPARE(before, QStringList{"config.json"}); // loading never touches it

        loaded.saveTo(path);
        const QStringList aside = QDir(dir.path())
                                      .entryList({QStringLiteral("config.json.unreadable-*")},
                                                 QDir::Files | QDir::System);
        QCOMPARE(aside.size(), 1);
        if (kind == QLatin1String("typo"))
            QCOMPARE(readFile(dir.path() + QLatin1Char('/') + aside.first()), typo);
        QVERIFY(!QFileInfo::exists(outside));
        QVERIFY(Config::decode(readFile(path)).has_value());

        // A readable file is simply replaced; nothing more is set aside.
        loaded.saveTo(path);
        QCOMPARE(
            QDir(dir.path())
                .entryList({QStringLiteral("config.json.unreadable-*")}, QDir::Files | QDir::System)
                .size(),
            1);
    }

    void dataFolderRule()
    {
        QCOMPARE(Config::directoryFor(QByteArray(), QStringLiteral("/home/u/.local/share")),
                 QStringLiteral("/home/u/.local/share/Vesk Voice"));
        QCOMPARE(Config::directoryFor("/data/v", QStringLiteral("/x")), QStringLiteral("/data/v"));
        QCOMPARE(Config::directoryFor("rel", QStringLiteral("/x")),
                 QDir::current().absoluteFilePath(QStringLiteral("rel")));
        QCOMPARE(Config::directory(), TestSupport::isolateDataDir());
        QCOMPARE(Config::fileURL(), TestSupport::isolateDataDir() + QStringLiteral("/config.json"));
        // Fixed on first use: a later change of the environment has no effect.
        qputenv("VESK_DATA_DIR", "/elsewhere");
        QCOMPARE(Config::directory(), TestSupport::isolateDataDir());
        qputenv("VESK_DATA_DIR", QFile::encodeName(TestSupport::isolateDataDir()));
    }

    void resolvedApiKey()
    {
        qunsetenv("GEMINI_API_KEY");
        Config c;
        QCOMPARE(c.resolvedApiKey(), QString());
        qputenv("GEMINI_API_KEY", "from-env");
        QCOMPARE(c.resolvedApiKey(), QStringLiteral("from-env"));
        c.apiKey = QStringLiteral(" ");
        QCOMPARE(c.resolvedApiKey(), QStringLiteral(" "));
        qunsetenv("GEMINI_API_KEY");
    }

    void migration()
    {
        QTemporaryDir dir;
        const QString oldDir = dir.path() + QStringLiteral("/old");
        const QString newDir = dir.path() + QStringLiteral("/new/Vesk Voice");
        QDir().mkpath(oldDir);

        // Nothing to copy from.
        Config::migrateLegacyFiles(oldDir, newDir);
        QVERIFY(!QFileInfo::exists(newDir));

        // Only a config: it is copied and made owner-only; the missing history is skipped.
        writeFile(oldDir + QStringLiteral("/config.json"), R"({"model": "old"})");
        QFile::setPermissions(oldDir + QStringLiteral("/config.json"), QFileDevice::ReadOwner |
                                                                           QFileDevice::WriteOwner |
                                                                           QFileDevice::ReadOther);
        Config::migrateLegacyFiles(oldDir, newDir);
        QCOMPARE(Config::loadFrom(newDir + QStringLiteral("/config.json")).model,
                 QStringLiteral("old"));
        QCOMPARE(TestSupport::unixMode(newDir + QStringLiteral("/config.json")), 0600);
        QVERIFY(!QFileInfo::exists(newDir + QStringLiteral("/history.json")));
        QVERIFY(QFileInfo::exists(oldDir + QStringLiteral("/config.json")));

        // Both hold a config: nothing is copied, not even a history.
        writeFile(oldDir + QStringLiteral("/config.json"), R"({"model": "newer-old"})");
        writeFile(oldDir + QStringLiteral("/history.json"), R"({"entries": []})");
        Config::migrateLegacyFiles(oldDir, newDir);
        QCOMPARE(Config::loadFrom(newDir + QStringLiteral("/config.json")).model,
                 QStringLiteral("old"));
        QVERIFY(!QFileInfo::exists(newDir + QStringLiteral("/history.json")));

        // A fresh target gets both files.
        const QString other = dir.path() + QStringLiteral("/other");
        Config::migrateLegacyFiles(oldDir, other);
        QCOMPARE(readFile(other + QStringLiteral("/history.json")),
                 QByteArray(R"({"entries": []})"));
    }
};

QTEST_GUILESS_MAIN(ConfigTest)
#include "tst_config.moc"
