#include "records/FailedRecordings.h"
#include "LogMessages.h"
#include "TestSupport.h"

#include <QtTest>

#include <sys/stat.h>

class FailedRecordingsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString makeRecording(const QString &name, const QByteArray &bytes = "RIFF")
    {
        const QString path = m_dir.path() + u'/' + name;
        TestSupport::writeFile(path, bytes);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return path;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void keepsTheNewestTwenty()
    {
        FailedRecordings store(m_dir.path() + u"/recordings"_s);
        QVERIFY(store.isEmpty());
        QStringList kept;
        for (int i = 0; i < FailedRecordings::cap + 1; ++i) {
            const auto path = store.keep(makeRecording(u"r%1.wav"_s.arg(i)), i, u"mac"_s, false);
            QVERIFY(path.has_value());
            kept.append(*path);
            QTest::qWait(2); // names carry the millisecond
        }
        QCOMPARE(TestSupport::unixMode(store.folder()), 0700);
        // A trimmed copy or any other file in the folder is neither counted nor deleted.
        const QString stray = store.folder() + u"/notes.txt"_s;
        TestSupport::writeFile(stray, {});
        QVERIFY(!QFile::exists(kept.first()));
        for (qsizetype i = 1; i < kept.size(); ++i)
            QVERIFY(QFile::exists(kept.at(i)));
        QCOMPARE(store.newest()->path, kept.last());
        QCOMPARE(store.newest()->duration, double(FailedRecordings::cap));
        QVERIFY(logText().contains(u"deleted the old failed recording"_s));

        store.remove(kept.last());
        QCOMPARE(store.newest()->path, kept.at(kept.size() - 2));
        QVERIFY(QFile::exists(stray));
    }

    // A recording kept on purpose is copied, anything else moved; an odd source survives the name.
    void copyOrMoveAndSource()
    {
        FailedRecordings store(m_dir.path() + u"/other"_s);
        // The user's own file keeps its mode, owner-only or readable by others; the copy is the
        // owner's alone either way.
        for (const int mode : {0600, 0644}) {
            const QString original = makeRecording(u"keep%1.wav"_s.arg(mode, 0, 8), "RIFF-kept");
            QVERIFY(::chmod(QFile::encodeName(original).constData(), mode_t(mode)) == 0);
            const auto copied = store.keep(original, 1.5, u"mac"_s, true);
            QVERIFY(copied.has_value());
            QCOMPARE(TestSupport::unixMode(original), mode);
            QCOMPARE(TestSupport::readFile(*copied), "RIFF-kept"_ba);
            QCOMPARE(TestSupport::unixMode(*copied), 0600);
            QFile::remove(*copied);
        }
        const QString original = makeRecording(u"keep.wav"_s, "RIFF-kept");
        const auto copied = store.keep(original, 1.5, u"a b/c.d~%"_s, true);
        QVERIFY(copied.has_value());
        QVERIFY(QFile::exists(original));
        QCOMPARE(store.newest()->source, u"a b/c.d~%"_s);
        QCOMPARE(store.newest()->duration, 1.5);
        // Keeping what is already kept changes nothing.
        QCOMPARE(store.keep(*copied, 1.5, u"mac"_s, false), copied);
        QCOMPARE(QDir(store.folder()).entryList(QDir::Files).size(), 1);

        const QString moved = makeRecording(u"move.wav"_s);
        QTest::qWait(2);
        QVERIFY(store.keep(moved, 2, u"mac"_s, false).has_value());
        QVERIFY(!QFile::exists(moved));
        QVERIFY(!store.keep(moved, 2, u"mac"_s, false).has_value());
    }
};

QTEST_GUILESS_MAIN(FailedRecordingsTest)
#include "tst_failedrecordings.moc"
