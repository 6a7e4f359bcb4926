#include "state/AppState.h"
#include "ControllerFakes.h"
#include "TestSupport.h"

#include <QtTest>

// The settings and the history as the app saves them while it runs: what someone else changed in
// the files meanwhile (a hand edit, a synced copy) is not lost, and nothing that holds data is
// replaced.
class StateTest : public QObject
{
    Q_OBJECT

    static HistoryEntry entry(const char *text, int minutesAgo)
    {
        HistoryEntry e = HistoryEntry::make(QString::fromUtf8(text), 1, u"m"_s, u"mac"_s);
        e.date = QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo);
        e.date.setTime(QTime(e.date.time().hour(), e.date.time().minute(), 0));
        return e;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }
    void init()
    {
        QDir(Config::directory()).removeRecursively();
        Log::reset();
    }

    // The keys the app changed keep its values; every other key takes the edited file's.
    void settingsEditedWhileRunningAreMerged()
    {
        AppState state;
        Config edited = Config::load();
        edited.model = u"gemini-edited"_s;
        edited.customVocabulary = {u"Toshkent"_s};
        // Another program writes the file anew (an editor's save, a sync tool).
        QFile::remove(Config::fileURL());
        TestSupport::writeFile(Config::fileURL(), edited.encode());

        Config mine = state.config();
        mine.hotkey = HotkeyKind::rightCommand;
        state.setConfig(mine);
        QVERIFY(state.saveConfig());
        Config merged = edited;
        merged.hotkey = HotkeyKind::rightCommand;
        QCOMPARE(Config::load(), merged);
        QCOMPARE(state.config(), merged);
        const QString told =
            u"config.json was changed outside Vesk Voice while it ran; those changes are kept"_s;
        QVERIFY(logMessages().contains(told));

        // Our own write is not taken for someone else's next time.
        mine = state.config();
        mine.model = u"gemini-mine"_s;
        state.setConfig(mine);
        QVERIFY(state.saveConfig());
        QCOMPARE(Config::load().model, u"gemini-mine"_s);
        QCOMPARE(logMessages().count(told), 1);
    }

    // Entry by entry: a transcript fixed, deleted or added in the file stays so beside the app's
    // new one; one the app deleted stays deleted.
    void historyEditedWhileRunningIsMerged()
    {
        History start;
        start.entries = {entry("d", 10), entry("c", 20), entry("b", 30), entry("a", 40)};
        QVERIFY(start.save());
        AppState state;

        History file = start; // newest first: d c b a
        file.entries[1].text = u"c, fixed by hand"_s;
        file.entries.removeAt(3); // a
        file.entries.prepend(entry("added elsewhere", 5));
        TestSupport::writeFile(History::fileURL(), file.encode());

        History mine = state.history();
        mine.remove(mine.entries[2]); // b
        mine.add(entry("new dictation", 0));
        state.setHistory(mine);
        QVERIFY(state.saveHistory());
        QStringList texts;
        for (const HistoryEntry &e : History::load().entries)
            texts.append(e.text);
        QCOMPARE(texts, (QStringList{"new dictation", "added elsewhere", "d", "c, fixed by hand"}));
        QCOMPARE(state.history(), History::load());
    }

    // An edit that broke the file is set aside, never overwritten; an empty file (a write an older
    // version cut short) holds nothing and is simply replaced; an earlier copy is never replaced.
    void brokenAndEmptyFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("keptAside");
        QTest::newRow("broken by hand") << QByteArray(R"({"apiKey": "k",)") << true;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void brokenAndEmptyFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, keptAside);
        AppState state;
        // Copies of earlier runs with the names this second and the next would take.
        const QDateTime now = QDateTime::currentDateTime();
        for (const QDateTime &when : {now, now.addSecs(1)})
            TestSupport::writeFile(Config::fileURL() + u".unreadable-"_s +
                                       when.toString(u"yyyyMMdd-HHmmss"_s),
                                   "earlier copy");
        TestSupport::writeFile(Config::fileURL(), content);
        Config mine = state.config();
        mine.sounds = false;
        state.setConfig(mine);
        QVERIFY(state.saveConfig());
        QCOMPARE(Config::load().sounds, false);
        const QStringList aside =
            QDir(Config::directory()).entryList({u"config.json.unreadable-*"_s});
        QCOMPARE(aside.size(), keptAside ? 3 : 2);
        for (const QString &name : aside) {
            const QByteArray held = TestSupport::readFile(Config::directory() + u'/' + name);
            QVERIFY2(held == "earlier copy" || (keptAside && held == content), name.toUtf8());
        }

        // Read at start, an empty file is no problem to report; it gives the defaults.
        TestSupport::writeFile(Config::fileURL(), QByteArray());
        QString problem;
        QCOMPARE(Config::load(&problem), Config());
        QVERIFY(problem.isEmpty());
    }
};

QTEST_GUILESS_MAIN(StateTest)
#include "tst_state.moc"
