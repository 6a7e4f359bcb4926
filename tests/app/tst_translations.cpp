#include "language/AppLanguage.h"
#include "TestSupport.h"

#include <QtTest>

// Every text the code marks for translation has a finished Uzbek and Russian translation with the
// same placeholders (the compiled tables are tried in tst_language).
class TranslationsTest : public QObject
{
    Q_OBJECT

    // "context\nsource" -> translation, empty where it is not finished
    using Table = QHash<QString, QString>;

    static Table read(const QString &path)
    {
        Table table;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return table;
        QXmlStreamReader xml(&f);
        QString context, source;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == "name"_L1)
                context = xml.readElementText();
            else if (xml.name() == "source"_L1)
                source = xml.readElementText();
            else if (xml.name() == "translation"_L1) {
                const bool finished = xml.attributes().value("type"_L1).isEmpty();
                const QString text = xml.readElementText();
                table.insert(context + u'\n' + source, finished ? text : QString());
            }
        }
        return table;
    }

    static QStringList placeholders(const QString &text)
    {
        static const QRegularExpression re(u"%\\d"_s);
        QStringList found;
        for (auto it = re.globalMatch(text); it.hasNext();)
            found.append(it.next().captured());
        found.sort();
        return found;
    }

private Q_SLOTS:
    // Every text as the code has it now (not as the tables remember it) is translated, and no
    // text a user sees, English included, uses the glossary's words to avoid; no Uzbek case
    // ending stands apart from a placeholder or a key name ("Oʻng Ctrl ni").
    void everyTextIsTranslatedInAgreedWords()
    {
        QTemporaryDir dir;
        const QString scanned = dir.filePath(u"scan_uz.ts"_s);
        QProcess lupdate;
        lupdate.start(u"/usr/lib/qt6/bin/lupdate"_s,
                      {u"-silent"_s, u"-locations"_s, u"none"_s,
                       TestSupport::sourceDir() + u"/src"_s, u"-ts"_s, scanned});
        QVERIFY2(lupdate.waitForFinished(120000) && lupdate.exitCode() == 0,
                 lupdate.readAllStandardError().constData());
        const QStringList keys = read(scanned).keys();
        QVERIFY(keys.size() > 50);

        const QString glossary = QString::fromUtf8(
            TestSupport::readFile(TestSupport::sourceDir() + u"/translations/GLOSSARY.md"_s));
        // The glossary's words to avoid in each language: the word as written, and its pattern.
        QHash<QString, QList<std::pair<QString, QRegularExpression>>> avoid;
        static const QRegularExpression term(u"`([^`]+)`"_s);
        bool inTable = false;
        for (const QString &line : glossary.split(u'\n')) {
            if (line.startsWith("## "_L1))
                inTable = line == "## Words to avoid"_L1;
            const QStringList cells = line.split(u'|');
            if (!inTable || cells.size() < 4)
                continue;
            for (auto it = term.globalMatch(cells[2]); it.hasNext();) {
                const QString written = it.next().captured(1);
                QString word = written;
                const bool stem = word.endsWith(u'*');
                if (stem)
                    word.chop(1);
                QString pattern = QRegularExpression::escape(word);
                if (word.front().isLetterOrNumber())
                    pattern.prepend("\\b"_L1);
                if (!stem && word.back().isLetterOrNumber())
                    pattern.append("\\b"_L1);
                avoid[cells[1].trimmed()].append(
                    {written, QRegularExpression(
                                  pattern, QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::UseUnicodePropertiesOption)});
            }
        }
        static const QRegularExpression detachedEnding(
            u"(%\\d|\\b(Ctrl|Super|Shift|Alt|Enter|Esc)) (ni|ga|da|dan|ning)\\b"_s,
            QRegularExpression::UseUnicodePropertiesOption);
        for (const QString &code : {u"uz"_s, u"ru"_s, u"en"_s}) {
            QVERIFY2(!avoid.value(code).isEmpty(), qPrintable(code));
            const Table table =
                read(TestSupport::sourceDir() + u"/translations/vesk_"_s + code + u".ts"_s);
            QStringList missing, broken, found;
            for (const QString &key : keys) {
                const QString source = key.section(u'\n', 1);
                const QString done = table.value(key);
                // The English text is the source itself.
                const bool translated = code != "en"_L1;
                if (translated && done.isEmpty())
                    missing.append(source);
                else if (translated && placeholders(done) != placeholders(source))
                    broken.append(source);
                const QString text = done.isEmpty() ? source : done;
                for (const auto &[word, re] : avoid.value(code))
                    if (re.match(text).hasMatch())
                        found.append(word + u" in: "_s + text);
                if (code == "uz"_L1 && detachedEnding.match(text).hasMatch())
                    found.append(u"detached ending in "_s + text);
            }
            QVERIFY2(missing.isEmpty(), qPrintable(code + u" lacks: "_s + missing.join(u" | "_s)));
            QVERIFY2(broken.isEmpty(),
                     qPrintable(code + u" placeholders: "_s + broken.join(u" | "_s)));
            QVERIFY2(found.isEmpty(), qPrintable(code + u": "_s + found.join(u" | "_s)));
        }
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
