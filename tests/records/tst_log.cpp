#include "records/Log.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

namespace {

QStringList logLines()
{
    Log::flush();
    QFile f(Log::fileURL());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
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
        Log::write(QStringLiteral("hello"));
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 1);
        static const QRegularExpression stamp(
            QStringLiteral("^\\d{2}:\\d{2}:\\d{2}\\.\\d{3} hello$"));
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
            Log::write(QStringLiteral("line %1").arg(i));
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 51);
        QCOMPARE(messageOf(lines[0]), QStringLiteral("hello"));
        for (int i = 0; i < 50; ++i)
            QCOMPARE(messageOf(lines[i + 1]), QStringLiteral("line %1").arg(i));
    }

    void writesFromManyThreads()
    {
        Log::reset();
        QList<QThread *> threads;
        for (int t = 0; t < 4; ++t) {
            threads.append(QThread::create([t] {
                for (int i = 0; i < 100; ++i)
                    Log::write(QStringLiteral("t%1 %2").arg(t).arg(i));
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
                if (messageOf(line).startsWith(QStringLiteral("t%1 ").arg(t))) {
                    QCOMPARE(messageOf(line), QStringLiteral("t%1 %2").arg(t).arg(next));
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
        Log::write(QStringLiteral("before"));
        Log::flush();
        QVERIFY(QFile::remove(Log::fileURL()));
        Log::write(QStringLiteral("two\nlines — oʻ\t\x1b[2J\u202e\x9b\x07"));
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 1);
        QCOMPARE(messageOf(lines[0]),
                 QStringLiteral("two\\x0alines — oʻ\t\\x1b[2J\\u202e\\x9b\\x07"));
    }
};

QTEST_GUILESS_MAIN(LogTest)
#include "tst_log.moc"
