#include "LogMessages.h"

#include <QtTest>

class LogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void firstLineCreatesTheFolder()
    {
        QVERIFY(!QDir(TestSupport::isolateDataDir()).exists());
        Log::write(u"hello"_s);
        static const QRegularExpression stamp(u"^\\d{2}:\\d{2}:\\d{2}\\.\\d{3} hello\n\\z"_s);
        QVERIFY2(stamp.match(logText()).hasMatch(), qPrintable(logText()));
        QCOMPARE(TestSupport::unixMode(TestSupport::isolateDataDir()), 0700);
    }

    // The launch empties the log of the last run, but what this run wrote before it (a data
    // folder made owner-only as the settings were read) stays.
    void resetDropsTheLastRunAndLinesKeepCallOrder()
    {
        Log::flush();
        QFile file(Log::fileURL());
        QVERIFY(file.open(QIODevice::Append));
        file.write("09:00:00.000 last run\n");
        file.close();
        Log::reset();
        for (int i = 0; i < 50; ++i)
            Log::write(u"line %1"_s.arg(i));
        QStringList expected{u"hello"_s};
        for (int i = 0; i < 50; ++i)
            expected.append(u"line %1"_s.arg(i));
        QCOMPARE(logMessages(), expected);
    }

    void writesFromManyThreads()
    {
        Log::reset();
        QList<QThread *> threads;
        for (int t = 0; t < 4; ++t) {
            threads.append(QThread::create([t] {
                for (int i = 0; i < 100; ++i)
                    Log::write(u"t%1 %2"_s.arg(t).arg(i));
            }));
        }
        for (QThread *t : threads)
            t->start();
        for (QThread *t : threads) {
            t->wait();
            delete t;
        }
        const QStringList lines = logMessages();
        QCOMPARE(lines.size(), 400);
        // Each thread's lines appear in its own call order, none lost or torn.
        for (int t = 0; t < 4; ++t) {
            int next = 0;
            for (const QString &line : lines) {
                if (line.startsWith(u"t%1 "_s.arg(t))) {
                    QCOMPARE(line, u"t%1 %2"_s.arg(t).arg(next));
                    ++next;
                }
            }
            QCOMPARE(next, 100);
        }
    }

    // A message is one line whatever it holds: control characters are written out, so that
    // none forges a line or acts on the terminal of whoever reads the log.
    void deletedFileIsRecreatedAndControlsAreWrittenOut()
    {
        Log::write(u"before"_s);
        Log::flush();
        QVERIFY(QFile::remove(Log::fileURL()));
        Log::write(u"two\nlines — oʻ\t\x1b[2J\u202e\x9b\x07"_s);
        QCOMPARE(logText().mid(13), u"two\\x0alines — oʻ\t\\x1b[2J\\u202e\\x9b\\x07\n"_s);
    }
};

QTEST_GUILESS_MAIN(LogTest)
#include "tst_log.moc"
