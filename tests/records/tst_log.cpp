#include "records/Log.h"
#include "TestSupport.h"

#include <QtTest>

namespace {

QStringList logLines()
{
    Log::flush();
    QFile f(Log::fileURL());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString messageOf(const QString &line)
{
    return line.mid(13);
}

} // namespace

class LogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void firstLineCreatesTheFolder()
    {
        QVERIFY(!QDir(TestSupport::isolateDataDir()).exists());
        Log::write(u"hello"_s);
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 1);
        static const QRegularExpression stamp(u"^\\d{2}:\\d{2}:\\d{2}\\.\\d{3} hello$"_s);
        QVERIFY2(stamp.match(lines.first()).hasMatch(), qPrintable(lines.first()));
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
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 51);
        QCOMPARE(messageOf(lines[0]), u"hello"_s);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(messageOf(lines[i + 1]), u"line %1"_s.arg(i));
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
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 400);
        // Each thread's lines appear in its own call order, none lost or torn.
        for (int t = 0; t < 4; ++t) {
            int next = 0;
            for (const QString &line : lines) {
                if (messageOf(line).startsWith(u"t%1 "_s.arg(t))) {
                    QCOMPARE(messageOf(line), u"t%1 %2"_s.arg(t).arg(next));
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
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 1);
        QCOMPARE(messageOf(lines[0]), u"two\\x0alines — oʻ\t\\x1b[2J\\u202e\\x9b\\x07"_s);
    }
};

QTEST_GUILESS_MAIN(LogTest)
#include "tst_log.moc"
