#include "app/MenuText.h"
#include "app/Updater.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class MenuTextTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wrapping()
    {
        const QString waiting =
            u"Waiting for Accessibility permission. Add Vesk Voice in System Settings > Privacy & "
            "Security > Accessibility."_s;
        QCOMPARE(MenuText::wrapped(waiting, 60),
                 (QStringList{u"Waiting for Accessibility permission. Add Vesk Voice in"_s,
                              u"System Settings > Privacy & Security > Accessibility."_s}));

        QCOMPARE(MenuText::wrapped(u"  a   b  "_s, 60), QStringList({u"a b"_s}));
        QCOMPARE(MenuText::wrapped(QString(), 60), QStringList());
        // A word longer than the width stays whole, on its own line, with no empty line first.
        const QString longWord(70, u'x');
        QCOMPARE(MenuText::wrapped(longWord + u" end"_s, 60), QStringList({longWord, u"end"_s}));
        // Exactly the width fits.
        const QString a(29, u'a'), b(30, u'b');
        QCOMPARE(MenuText::wrapped(a + u' ' + b, 60), QStringList({a + u' ' + b}));
        QCOMPARE(MenuText::wrapped(a + u"a "_s + b, 60).size(), 2);
    }

    // 48 characters as a reader counts them: an emoji or a family of them at the cut stays
    // whole, never half a surrogate pair shown as "?".
    void preview_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("preview");
        const QString p47(47, u'p');
        const QString family = u"👨‍👩‍👧"_s;
        QTest::newRow("exactly 48") << p47 + u'p' << p47 + u'p';
        QTest::newRow("one more") << p47 + u"pq"_s << p47 + u"p..."_s;
        QTest::newRow("emoji at the cut") << p47 + u"😀 ok"_s << p47 + u"😀..."_s;
        QTest::newRow("joined emoji at the cut")
            << p47 + family + u"!"_s << p47 + family + u"..."_s;
        QTest::newRow("48 emoji") << QString(u"😀"_s).repeated(48) << QString(u"😀"_s).repeated(48);
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
        QCOMPARE(MenuText::statusLine(P::working, true, QString()), u"Transcribing..."_s);
        QCOMPARE(MenuText::symbol(P::idle, true), u"mic"_s);
        QCOMPARE(MenuText::symbol(P::idle, false), u"mic.slash"_s);
        QCOMPARE(MenuText::symbol(P::recording, true), u"mic.fill"_s);
        QCOMPARE(MenuText::symbol(P::working, true), u"waveform"_s);
        QCOMPARE(MenuText::symbol(P::failed, true), u"exclamationmark.triangle"_s);
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
        QCOMPARE(items->at(0).version, u"19"_s);
        QCOMPARE(items->at(1).shortVersion, u"1.10"_s);
        QCOMPARE(items->at(1).download, QUrl(u"https://example.invalid/1.10.deb"_s));
        QVERIFY(!Appcast::parse("<html><body>not a feed</body></html>").has_value());
        QVERIFY(!Appcast::parse("<rss><channel>").has_value());

        QVERIFY(Appcast::compareVersions(u"1.10"_s, u"1.9"_s) > 0);
        QCOMPARE(Appcast::compareVersions(u"1.0"_s, u"1"_s), 0);
        QVERIFY(Appcast::compareVersions(u"2"_s, u"10"_s) < 0);
    }

    // Without a feed the check says what updates this copy: its package manager, or a new build.
    // An unreachable feed fails clearly.
    void checkSaysWhatHappened_data()
    {
        QTest::addColumn<QUrl>("feed");
        QTest::addColumn<bool>("package");
        QTest::addColumn<QString>("says");
        QTest::newRow("package") << QUrl() << true << u"package manager"_s;
        QTest::newRow("built from source") << QUrl() << false << u"built from its source"_s;
        // A closed port on loopback: refused at once, never a hang.
        QTest::newRow("unreachable") << QUrl(u"http://127.0.0.1:9/appcast.xml"_s) << false
                                     << u"Could not check for updates: "_s;
    }

    void checkSaysWhatHappened()
    {
        QFETCH(QUrl, feed);
        QFETCH(bool, package);
        QFETCH(QString, says);
        Updater updater{feed, u"1"_s, package};
        QSignalSpy spy(&updater, &Updater::checked);
        updater.check();
        QVERIFY(spy.wait(20000));
        const QString told = Updater::describe(spy.first().first().value<Updater::Result>());
        QVERIFY2(told.contains(says), qPrintable(told));
    }
};

QTEST_MAIN(MenuTextTest)
#include "tst_menutext.moc"
