#include "Resources.h"
#include "Symbols.h"

#include <QGuiApplication>
#include <QImage>
#include <QtTest>

using namespace Qt::StringLiterals;

// The bundled symbols, sounds and app icon are really in the program and usable.
class ResourcesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every symbol draws in the colour asked for, and the app icon draws.
    void symbolsDrawInTheirColour()
    {
        const QStringList names = Symbols::names();
        for (const char *needed :
             {"mic", "mic.fill", "mic.slash", "mic.slash.fill", "waveform",
              "exclamationmark.triangle", "exclamationmark.triangle.fill", "xmark", "arrow.up"})
            QVERIFY2(names.contains(QLatin1String(needed)), needed);
        for (const QString &name : names) {
            const QColor colour(200, 40, 30);
            const QImage image = Symbols::pixmap(name, colour, 32, 2).toImage();
            QCOMPARE(image.size(), QSize(64, 64));
            // Some of the symbol is there, in the colour asked for, and not all of the square.
            int drawn = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    drawn += c.alpha() > 200 && qAbs(c.red() - colour.red()) < 8 &&
                             qAbs(c.green() - colour.green()) < 8 &&
                             qAbs(c.blue() - colour.blue()) < 8;
                }
            QVERIFY2(drawn > 40 && drawn < 64 * 64, qPrintable(name));
        }
        QVERIFY(Symbols::pixmap(u"no.such.symbol"_s, Qt::black, 16).isNull());
        QVERIFY(!Resources::appIcon().pixmap(64).toImage().isNull());
    }

    void soundsAreWaveFiles()
    {
        QCOMPARE(Resources::soundNames(), (QStringList{"Tink", "Pop", "Funk", "Basso"}));
        for (const QString &name : Resources::soundNames()) {
            QFile f(Resources::soundPath(name));
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(name));
            const QByteArray head = f.read(12);
            QVERIFY(head.startsWith("RIFF") && head.endsWith("WAVE"));
            QVERIFY(f.size() > 1000);
            QCOMPARE(Resources::soundUrl(name).scheme(), u"qrc"_s);
        }
        QVERIFY(Resources::soundPath(u"Glass"_s).isEmpty());
    }
};

QTEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
