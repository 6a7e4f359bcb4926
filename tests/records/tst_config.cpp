#include "records/Config.h"
#include "records/DataFiles.h"
#include "TestSupport.h"

#include <QtTest>
#include <sys/stat.h>

using TestSupport::readFile;
using TestSupport::writeFile;

class ConfigTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void defaultsWhenNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + u"/sub/config.json"_s;
        const Config loaded = Config::loadFrom(path);
        QCOMPARE(loaded, Config());
        QCOMPARE(loaded.prompt.size(), 167);
        // The defaults are written at once, owner-only, with every key but the two positions.
        QCOMPARE(TestSupport::unixMode(path), 0600);
        const QJsonObject o = QJsonDocument::fromJson(readFile(path)).object();
        QCOMPARE(o.size(), 21);
        QVERIFY(!o.contains(u"hudX"_s));
        QVERIFY(!o.contains(u"hudY"_s));
        QCOMPARE(o.value(u"hotkey"_s).toString(), u"fn"_s);
        // A folder we create holds the key: owner-only.
        QCOMPARE(TestSupport::unixMode(dir.path() + u"/sub"_s), 0700);
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
        // Every other key, and each bad one, as a new Config has it.
        Config expected;
        expected.model = u"gemini-x"_s;
        expected.hudY = 12.5;
        expected.customVocabulary = {u"Vesk"_s, u"Gemini"_s};
        expected.keepSilenceSeconds = 1;
        expected.sounds = false;
        expected.insertMethod = u"anything"_s;
        QCOMPARE(c, std::optional<Config>(expected));
    }

    void integersHotkeysFormatsAndWholeFiles()
    {
        QCOMPARE(Config::decode(R"({"holdThresholdMs": 3e2})")->holdThresholdMs, 300);
        QCOMPARE(Config::decode(R"({"holdThresholdMs": -20})")->holdThresholdMs, -20);
        QCOMPARE(Config::decode(R"({"holdThresholdMs": 1e30})")->holdThresholdMs, 300);
        QCOMPARE(Config::decode(R"({"holdThresholdMs": 0})")->holdThresholdMs, 0);
        QCOMPARE(Config::decode(R"({"hotkey": "controlFn"})")->hotkey, HotkeyKind::controlFn);
        QCOMPARE(Config::decode(R"({"hotkey": "Control"})")->hotkey, HotkeyKind::fn);
        QCOMPARE(Config::decode(R"({"hotkey": 1})")->hotkey, HotkeyKind::fn);
        QCOMPARE(Config::decode(R"({"audioFormat": "flac"})")->audioFormat, u"flac"_s);
        QCOMPARE(Config::decode(R"({"audioFormat": "OGG"})")->audioFormat, u"wav"_s);
        QCOMPARE(Config::decode(R"({"audioFormat": "mp3"})")->audioFormat, u"wav"_s);
        // Only what is no JSON object fails whole.
        QVERIFY(!Config::decode("[1, 2]").has_value());
        QVERIFY(!Config::decode("{\"model\": ").has_value());
        QVERIFY(!Config::decode("").has_value());
        QVERIFY(Config::decode("{}").has_value());
    }

    void roundTripAndSortedOutput()
    {
        Config c;
        c.apiKey = u"k"_s;
        c.hudX = 10;
        c.languageCodes = {u"ru-RU"_s, u"uz-UZ"_s};
        c.launchAtLogin = true;
        c.readInputDevices = true;
        c.spaceBetweenDictations = false;
        c.inputDeviceName = u"USB Mic"_s;
        c.audioFormat = u"ogg"_s;
        c.liveModels = {u"gemini-native-audio"_s};
        const QByteArray bytes = c.encode();
        QCOMPARE(Config::decode(bytes), std::optional<Config>(c));
        // Pretty, one key a line, the keys sorted: as Qt writes an object.
        QCOMPARE(bytes, QJsonDocument::fromJson(bytes).toJson(QJsonDocument::Indented));
    }

    // A link to a settings file kept elsewhere is written through and stays a link; anything but
    // a regular file, at the path or behind a link, is never replaced (as root a rename would
    // swap a device for a plain file).
    void writesReplaceOnlyRegularFiles_data()
    {
        QTest::addColumn<QString>("at");
        QTest::addColumn<bool>("written");
        QTest::newRow("link to a file") << u"link to file"_s << true;
        QTest::newRow("link to a fifo") << u"link to fifo"_s << false;
        QTest::newRow("a fifo") << u"fifo"_s << false;
    }

    void writesReplaceOnlyRegularFiles()
    {
        QFETCH(QString, at);
        QFETCH(bool, written);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"kept.json"_s);
        const QString fifo = dir.filePath(u"pipe"_s);
        const QString path = at == "fifo"_L1 ? fifo : dir.filePath(u"config.json"_s);
        writeFile(file, "old");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        if (at != "fifo"_L1)
            QVERIFY(QFile::link(at == "link to file"_L1 ? file : fifo, path));

        const auto result = DataFiles::writeAtomically(path, "new", DataFiles::ownerReadWrite);
        QCOMPARE(result.ok, written);
        QCOMPARE(readFile(file), written ? "new"_ba : "old"_ba);
        QCOMPARE(QFileInfo(path).isSymLink(), at != "fifo"_L1);
        // The FIFO is still one, not a file written in its place.
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
        if (!written)
            QVERIFY2(result.error.contains(u"not a regular file"_s), qPrintable(result.error));
        QCOMPARE(QDir(dir.path())
                     .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                     .size(),
                 at == "fifo"_L1 ? 2 : 3);
    }

    // The folder without VESK_DATA_DIR is tst_launch's olderFolderIsMigratedBeforeAnyCommand; a
    // relative one is taken from the working folder.
    void dataFolderRule()
    {
        QCOMPARE(Config::directoryFor("rel", u"/x"_s), QDir::current().absoluteFilePath(u"rel"_s));
        QCOMPARE(Config::directory(), TestSupport::isolateDataDir());
        // Fixed on first use: a later change of the environment has no effect.
        qputenv("VESK_DATA_DIR", "/elsewhere");
        QCOMPARE(Config::directory(), TestSupport::isolateDataDir());
        qputenv("VESK_DATA_DIR", QFile::encodeName(TestSupport::isolateDataDir()));
    }

    // A stored key, even a blank one, wins over the environment's (which is used when none is
    // stored: tst_onboarding's keyAlreadyThereIsNamedAndChecked).
    void resolvedApiKey()
    {
        qputenv("GEMINI_API_KEY", "from-env");
        Config c;
        c.apiKey = u" "_s;
        QCOMPARE(c.resolvedApiKey(), u" "_s);
        qunsetenv("GEMINI_API_KEY");
    }

    void migration()
    {
        QTemporaryDir dir;
        const QString oldDir = dir.path() + u"/old"_s;
        const QString newDir = dir.path() + u"/new/Vesk Voice"_s;
        QDir().mkpath(oldDir);

        // Nothing to copy from.
        Config::migrateLegacyFiles(oldDir, newDir);
        QVERIFY(!QFileInfo::exists(newDir));

        // Only a config: it is copied and made owner-only; the missing history is skipped.
        writeFile(oldDir + u"/config.json"_s, R"({"model": "old"})");
        QCOMPARE(::chmod(QFile::encodeName(oldDir + u"/config.json"_s).constData(), 0604), 0);
        Config::migrateLegacyFiles(oldDir, newDir);
        QCOMPARE(Config::loadFrom(newDir + u"/config.json"_s).model, u"old"_s);
        QCOMPARE(TestSupport::unixMode(newDir + u"/config.json"_s), 0600);
        QVERIFY(!QFileInfo::exists(newDir + u"/history.json"_s));
        QVERIFY(QFileInfo::exists(oldDir + u"/config.json"_s));

        // Both hold a config: nothing is copied, not even a history.
        writeFile(oldDir + u"/config.json"_s, R"({"model": "newer-old"})");
        writeFile(oldDir + u"/history.json"_s, R"({"entries": []})");
        Config::migrateLegacyFiles(oldDir, newDir);
        QCOMPARE(Config::loadFrom(newDir + u"/config.json"_s).model, u"old"_s);
        QVERIFY(!QFileInfo::exists(newDir + u"/history.json"_s));
    }
};

QTEST_GUILESS_MAIN(ConfigTest)
#include "tst_config.moc"
