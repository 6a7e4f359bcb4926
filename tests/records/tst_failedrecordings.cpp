#include "records/FailedRecordings.h"
#include "LogMessages.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class FailedRecordingsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString makeRecording(const QString &name, const QByteArray &bytes = "RIFF")
    {
        const QString path = m_dir.path() + QLatin1Char('/') + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return path;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void keepsTheNewestTwenty()
    {
        FailedRecordings store(m_dir.path() + QStringLiteral("/recordings"));
        QVERIFY(store.isEmpty());
        QStringList kept;
        for (int i = 0; i < FailedRecordings::cap + 1; ++i) {
            const auto path = store.keep(makeRecording(QStringLiteral("r%1.wav").arg(i)), i,
                                         QStringLiteral("mac"), false);
            QVERIFY(path.has_value());
            kept.append(*path);
            QTest::qWait(2); // names carry the millisecond
        }
        QCOMPARE(TestSupport::unixMode(store.folder()), 0700);
        // A trimmed copy or any other file in the folder is neither counted nor deleted.
        QFile stray(store.folder() + QStringLiteral("/notes.txt"));
        QVERIFY(stray.open(QIODevice::WriteOnly));
        stray.close();
        QVERIFY(!QFile::exists(kept.first()));
        for (qsizetype i = 1; i < kept.size(); ++i)
            QVERIFY(QFile::exists(kept.at(i)));
        QCOMPARE(store.newest()->path, kept.last());
        QCOMPARE(store.newest()->duration, double(FailedRecordings::cap));
        QVERIFY(logText().contains(QStringLiteral("deleted the old failed recording")));

        store.remove(kept.last());
        QCOMPARE(store.newest()->path, kept.at(kept.size() - 2));
        QVERIFY(QFile::exists(stray.fileName()));
    }

    // A recording kept on purpose is copied, anything else moved; an odd source survives the name.
    void copyOrMoveAndSource()
    {
        FailedRecordings store(m_dir.path() + QStringLiteral("/other"));
        const QString original = makeRecording(QStringLiteral("keep.wav"), "RIFF-kept");
        const auto copied = store.keep(original, 1.5, QStringLiteral("a b/c.d~%"), true);
        QVERIFY(copied.has_value());
        QVERIFY(QFile::exists(original));
        QFile f(*copied);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("RIFF-kept"));
        QCOMPARE(TestSupport::unixMode(*copied), 0600);
        QCOMPARE(store.newest()->source, QStringLiteral("a b/c.d~%"));
        QCOMPARE(store.newest()->duration, 1.5);
        // Keeping what is already kept changes nothing.
        QCOMPARE(store.keep(*copied, 1.5, QStringLiteral("mac"), false), copied);
        QCOMPARE(QDir(store.folder()).entryList(QDir::Files).size(), 1);

        const QString moved = makeRecording(QStringLiteral("move.wav"));
        QTest::qWait(2);
        QVERIFY(store.keep(moved, 2, QStringLiteral("mac"), false).has_value());
        QVERIFY(!QFile::exists(moved));
        QVERIFY(!store.keep(moved, 2, QStringLiteral("mac"), false).has_value());
    }
};

QTEST_GUILESS_MAIN(FailedRecordingsTest)
#include "tst_failedrecordings.moc"
