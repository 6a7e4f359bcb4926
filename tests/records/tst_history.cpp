#include "records/History.h"
#include "TestSupport.h"

#include <QtTest>
#include <sys/stat.h>

using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

const char *goodEntry =
    R"({"id": "0f8fad5b-d9cb-469f-a165-70867728950e", "date": "2026-12-06T20:45:01Z",
    "text": "Salom", "duration": 2.5, "model": "gemini-3.7-flash", "source": "mac", "extra": 1})";

// A history file of the good entry above, with one key changed (or taken out, for undefined).
QByteArray fileWith(const QString &key = {}, const QJsonValue &value = {})
{
    QJsonObject e = QJsonDocument::fromJson(goodEntry).object();
    if (value.isUndefined())
        e.remove(key);
    else if (!key.isEmpty())
        e[key] = value;
    return QJsonDocument(QJsonObject{{u"entries"_s, QJsonArray{e}}}).toJson();
}

HistoryEntry entry(const QString &text)
{
    HistoryEntry e = HistoryEntry::make(text, 1.25, u"m"_s, u"mac"_s);
    e.date = QDateTime(QDate(2026, 12, 6), QTime(20, 45, 1), Qt::UTC);
    return e;
}

} // namespace

class HistoryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    // Any zone offset is read, ids in either case; anything else amiss fails the whole file.
    void reading_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("good");
        QTest::newRow("UTC") << fileWith() << true;
        QTest::newRow("zone offset") << fileWith(u"date"_s, u"2026-12-07T01:45:01+05:00"_s) << true;
        QTest::newRow("no source") << fileWith(u"source"_s, QJsonValue::Undefined) << false;
        QTest::newRow("fractional seconds")
            << fileWith(u"date"_s, u"2026-12-06T20:45:01.5Z"_s) << false;
        QTest::newRow("no zone") << fileWith(u"date"_s, u"2026-12-06T20:45:01"_s) << false;
        QTest::newRow("date only") << fileWith(u"date"_s, u"2026-12-06"_s) << false;
        QTest::newRow("bad uuid") << fileWith(u"id"_s, u"not-a-uuid"_s) << false;
        QTest::newRow("braced uuid")
            << fileWith(u"id"_s, u"{0f8fad5b-d9cb-469f-a165-70867728950e}"_s) << false;
        QTest::newRow("duration as text") << fileWith(u"duration"_s, u"1"_s) << false;
        QTest::newRow("entry not an object") << QByteArray(R"({"entries": [1]})") << false;
        QTest::newRow("no entries") << QByteArray(R"({"items": []})") << false;
        QTest::newRow("array") << "[]"_ba << false;
        QTest::newRow("one bad among good")
            << ("{\"entries\": ["_ba + goodEntry + ", {\"id\": 1}]}") << false;
    }

    void reading()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, good);
        const auto h = History::decode(file);
        QCOMPARE(h.has_value(), good);
        HistoryEntry e = entry(u"Salom"_s);
        e.id = QUuid::fromString(u"0F8FAD5B-D9CB-469F-A165-70867728950E"_s);
        e.duration = 2.5;
        e.model = u"gemini-3.7-flash"_s;
        if (good)
            QCOMPARE(h->entries, QList<HistoryEntry>{e});
    }

    void writesUpperCaseIdsAndWholeSecondUtc()
    {
        HistoryEntry e = entry(u"t"_s);
        e.id = QUuid::fromString(u"0f8fad5b-d9cb-469f-a165-70867728950e"_s);
        e.date = QDateTime(QDate(2026, 12, 7), QTime(1, 45, 1, 789), QTimeZone(5 * 3600));
        History h;
        h.entries = {e};
        const QJsonObject o =
            QJsonDocument::fromJson(h.encode()).object()[u"entries"_s].toArray()[0].toObject();
        QCOMPARE(o[u"id"_s].toString(), u"0F8FAD5B-D9CB-469F-A165-70867728950E"_s);
        QCOMPARE(o[u"date"_s].toString(), u"2026-12-06T20:45:01Z"_s);

        // Survives a round trip only to the whole second.
        const History back = *History::decode(h.encode());
        QVERIFY(back.entries.first() != e);
        e.date = e.date.addMSecs(-789);
        QCOMPARE(back.entries.first(), e);
    }

    // A longer hand-written list loads whole; the next add keeps the newest thousand.
    void capOnAdd()
    {
        History h;
        for (int i = 0; i < 1005; ++i)
            h.entries.append(entry(QString::number(i)));
        History loaded = *History::decode(h.encode());
        QCOMPARE(loaded.entries.size(), 1005);
        loaded.add(entry(u"newest"_s));
        QCOMPARE(loaded.entries.size(), 1000);
        QCOMPARE(loaded.entries.first().text, u"newest"_s);
        QCOMPARE(loaded.entries.last().text, u"998"_s);
    }

    void removeTakesEveryEntryWithTheId()
    {
        History h;
        const HistoryEntry a = entry(u"a"_s);
        HistoryEntry twin = entry(u"twin"_s);
        twin.id = a.id;
        const HistoryEntry b = entry(u"b"_s);
        h.entries = {a, b, twin};
        h.remove(a);
        QCOMPARE(h.entries, QList<HistoryEntry>{b});
    }

    void saveAndLoad()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + u"/history.json"_s;
        QCOMPARE(History::loadFrom(path), History());
        QVERIFY(!QFile::exists(path)); // loading never writes

        History h;
        h.add(entry(u"first"_s));
        h.add(entry(u"Привет, oʻzbek"_s));
        h.saveTo(path);
        QCOMPARE(History::loadFrom(path), h);
        QCOMPARE(TestSupport::unixMode(path), 0600);
        // A file an older version left readable to others is made owner-only by the next save.
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0604), 0);
        h.saveTo(path);
        QCOMPARE(TestSupport::unixMode(path), 0600);

        h.entries.clear();
        h.saveTo(path);
        QCOMPARE(History::loadFrom(path).entries.size(), 0);
        QVERIFY(QJsonDocument::fromJson(readFile(path)).object()[u"entries"_s].isArray());

        // A file that cannot be read is kept, and set aside by the next save.
        const QByteArray broken = fileWith(u"text"_s, QJsonValue::Undefined);
        writeFile(path, broken);
        QString problem;
        h = History::loadFrom(path, &problem);
        QCOMPARE(h.entries.size(), 0);
        QCOMPARE(readFile(path), broken);
        QVERIFY2(problem.contains(path) && problem.contains(u"entry 1 is malformed"_s),
                 qPrintable(problem));

        h.add(entry(u"after"_s));
        h.saveTo(path);
        const QStringList aside = QDir(dir.path()).entryList({u"history.json.unreadable-*"_s});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(dir.path() + u'/' + aside.first()), broken);
        QCOMPARE(History::loadFrom(path), h);
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "tst_history.moc"
