#include "LogMessages.h"

#include <QtTest>

#include <thread>

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
    // folder made owner-only as the settings were read) stays. The order of the lines is
    // writesFromManyThreads'.
    void resetDropsTheLastRun()
    {
        Log::flush();
        TestSupport::writeFile(Log::fileURL(), "09:00:00.000 last run\n");
        Log::reset();
        Log::write(u"after"_s);
        QCOMPARE(logMessages(), (QStringList{"hello", "after"}));
    }

    // A later reset empties the log: each thread's lines appear in its own call order, none lost
    // or torn.
    void writesFromManyThreads()
    {
        Log::reset();
        {
            std::vector<std::jthread> threads;
            for (int t = 0; t < 4; ++t)
                threads.emplace_back([t] {
                    for (int i = 0; i < 100; ++i)
                        Log::write(u"t%1 %2"_s.arg(t).arg(i));
                });
        }
        const QStringList lines = logMessages();
        QCOMPARE(lines.size(), 400);
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
