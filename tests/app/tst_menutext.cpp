#include "app/MenuText.h"
#include "app/Updater.h"

#include <QtTest>

class MenuTextTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wrapping()
    {
        const QString waiting = QStringLiteral(
            "Waiting for Accessibility permission. Add Vesk Voice in System Settings > Privacy & "
            "Security > Accessibility.");
        const QStringList lines = MenuText::wrapped(waiting, 60);
        QCOMPARE(lines.join(QLatin1Char(' ')), waiting);
        for (const QString &line : lines)
            QVERIFY(line.size() <= 60);
        QCOMPARE(lines.first(),
                 QStringLiteral("Waiting for Accessibility permission. Add Vesk Voice in"));

        QCOMPARE(MenuText::wrapped(QStringLiteral("  a   b  "), 60),
                 QStringList({QStringLiteral("a b")}));
        QCOMPARE(MenuText::wrapped(QString(), 60), QStringList());
        // A word longer than the width stays whole, on its own line, with no empty line first.
        const QString longWord(70, QLatin1Char('x'));
        QCOMPARE(MenuText::wrapped(longWord + QStringLiteral(" end"), 60),
                 QStringList({longWord, QStringLiteral("end")}));
        // Exactly the width fits.
        const QString a(29, QLatin1Char('a')), b(30, QLatin1Char('b'));
        QCOMPARE(MenuText::wrapped(a + QLatin1Char(' ') + b, 60),
                 QStringList({a + QLatin1Char(' ') + b}));
        QCOMPARE(MenuText::wrapped(a + QStringLiteral("a ") + b, 60).size(), 2);
    }

    // 48 characters as a reader counts them: an emoji or a family of them at the cut stays
    // whole, never half a surrogate pair shown as "?".
    void preview_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("preview");
        const QString p47(47, QLatin1Char('p'));
        const QString family = QStringLiteral("👨‍👩‍👧");
        QTest::newRow("exactly 48") << p47 + u'p' << p47 + u'p';
        QTest::newRow("one more") << p47 + QStringLiteral("pq") << p47 + QStringLiteral("p...");
        QTest::newRow("emoji at the cut")
            << p47 + QStringLiteral("😀 ok") << p47 + QStringLiteral("😀...");
        QTest::newRow("joined emoji at the cut")
            << p47 + family + QStringLiteral("!") << p47 + family + QStringLiteral("...");
        QTest::newRow("48 emoji") << QString(QStringLiteral("😀")).repeated(48)
                                  << QString(QStringLiteral("😀")).repeated(48);
    }

    void preview()
    {
        QFETCH(QString, text);
        QFETCH(QString, preview);
        QCOMPARE(MenuText::copyPreview(text), preview);
    }

    void statusAndSymbols()
    {
        using P = AppState::Phase;
        // The other phases' lines are read from the real menu in the shell's tests.
        QCOMPARE(MenuText::statusLine(P::recording, false, QString()),
                 QStringLiteral("Recording... (Esc to cancel)"));
        QCOMPARE(MenuText::statusLine(P::working, true, QString()),
                 QStringLiteral("Transcribing..."));
        QCOMPARE(MenuText::symbol(P::idle, true), QStringLiteral("mic"));
        QCOMPARE(MenuText::symbol(P::idle, false), QStringLiteral("mic.slash"));
        QCOMPARE(MenuText::symbol(P::recording, true), QStringLiteral("mic.fill"));
        QCOMPARE(MenuText::symbol(P::working, true), QStringLiteral("waveform"));
        QCOMPARE(MenuText::symbol(P::failed, true), QStringLiteral("exclamationmark.triangle"));
        QVERIFY(!MenuText::tint(P::idle).isValid());
        QVERIFY(MenuText::tint(P::recording).isValid());
    }

    void appcast()
    {
        const QByteArray feed =
            "<?xml version=\"1.0\"?>\n"
            "<rss version=\"2.0\" "
            "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
            " <channel><title>Vesk Voice</title>\n"
            "  <item><title>Version 1.9</title><sparkle:version>19</sparkle:version>\n"
            "   <sparkle:shortVersionString>1.9</sparkle:shortVersionString>\n"
            "   <enclosure url=\"https://example.invalid/1.9.deb\" length=\"1\" "
            "type=\"application/octet-stream\"/></item>\n"
            "  <item><title>Version 1.10</title>\n"
            "   <enclosure url=\"https://example.invalid/1.10.deb\" sparkle:version=\"110\" "
            "sparkle:shortVersionString=\"1.10\"/></item>\n"
            "  <item><title>No version</title></item>\n"
            " </channel></rss>\n";
        const auto items = Appcast::parse(feed);
        QVERIFY(items.has_value());
        QCOMPARE(items->size(), 2);
        QCOMPARE(items->at(0).version, QStringLiteral("19"));
        QCOMPARE(items->at(1).shortVersion, QStringLiteral("1.10"));
        QCOMPARE(items->at(1).download, QUrl(QStringLiteral("https://example.invalid/1.10.deb")));
        QVERIFY(!Appcast::parse("<html><body>not a feed</body></html>").has_value());
        QVERIFY(!Appcast::parse("<rss><channel>").has_value());

        QVERIFY(Appcast::compareVersions(QStringLiteral("1.10"), QStringLiteral("1.9")) > 0);
        QCOMPARE(Appcast::compareVersions(QStringLiteral("1.0"), QStringLiteral("1")), 0);
        QVERIFY(Appcast::compareVersions(QStringLiteral("2"), QStringLiteral("10")) < 0);
    }

    // Without a feed the check says what updates this copy: its package manager, or a new build.
    void noFeedSaysWhoUpdates_data()
    {
        QTest::addColumn<bool>("package");
        QTest::addColumn<QString>("says");
        QTest::newRow("package") << true << QStringLiteral("package manager");
        QTest::newRow("built from source") << false << QStringLiteral("built from its source");
    }

    void noFeedSaysWhoUpdates()
    {
        QFETCH(bool, package);
        QFETCH(QString, says);
        Updater updater{QUrl(), QStringLiteral("1"), package};
        QVERIFY(!updater.hasFeed());
        QSignalSpy spy(&updater, &Updater::checked);
        updater.check();
        QVERIFY(spy.wait(2000));
        const auto result = spy.first().first().value<Updater::Result>();
        QVERIFY(Updater::describe(result).contains(says));
        // This test build is no package.
        QVERIFY(!Updater::builtAsPackage());
    }

    void unreachableFeedFailsClearly()
    {
        // A closed port on loopback: refused at once, never a hang.
        Updater updater{QUrl(QStringLiteral("http://127.0.0.1:9/appcast.xml")),
                        QStringLiteral("1")};
        QSignalSpy spy(&updater, &Updater::checked);
        updater.check();
        QVERIFY(spy.wait(20000));
        const auto result = spy.first().first().value<Updater::Result>();
        QCOMPARE(result.kind, Updater::Result::Kind::failed);
        QVERIFY(
            Updater::describe(result).startsWith(QStringLiteral("Could not check for updates: ")));
    }
};

QTEST_MAIN(MenuTextTest)
#include "tst_menutext.moc"
