#include "language/AppLanguage.h"
#include "TestSupport.h"

#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

// Every text the code marks for translation has a finished Uzbek and Russian translation with the
// same placeholders, and the compiled tables are in the program.
class TranslationsTest : public QObject
{
    Q_OBJECT

    using Table = QHash<QString, QString>; // "context\nsource" -> translation (finished only)

    static Table read(const QString &path, QStringList *all = nullptr)
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
            if (xml.name() == QLatin1String("name"))
                context = xml.readElementText();
            else if (xml.name() == QLatin1String("source"))
                source = xml.readElementText();
            else if (xml.name() == QLatin1String("translation")) {
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                const QString text = xml.readElementText();
                const QString key = context + QLatin1Char('\n') + source;
                if (all)
                    all->append(key);
                if (type.isEmpty() && !text.isEmpty())
                    table.insert(key, text);
            }
        }
        return table;
    }

    static QStringList placeholders(const QString &text)
    {
        static const QRegularExpression re(QStringLiteral("%\\d"));
        QStringList found;
        for (auto it = re.globalMatch(text); it.hasNext();)
            found.append(it.next().captured());
        found.sort();
        return found;
    }

private Q_SLOTS:
    void everyTextIsTranslated()
    {
        // The texts as the code has them now, not as the tables remember them.
        QTemporaryDir dir;
        const QString scanned = dir.filePath(QStringLiteral("scan_uz.ts"));
        QProcess lupdate;
        lupdate.start(QStringLiteral("/usr/lib/qt6/bin/lupdate"),
                      {QStringLiteral("-silent"), QStringLiteral("-locations"),
                       QStringLiteral("none"), TestSupport::sourceDir() + QStringLiteral("/src"),
                       QStringLiteral("-ts"), scanned});
        QVERIFY2(lupdate.waitForFinished(120000) && lupdate.exitCode() == 0,
                 lupdate.readAllStandardError().constData());
        QStringList keys;
        read(scanned, &keys);
        QVERIFY(keys.size() > 50);

        for (const QString &code : {QStringLiteral("uz"), QStringLiteral("ru")}) {
            const Table table =
                read(TestSupport::sourceDir() + QStringLiteral("/translations/vesk_") + code +
                     QStringLiteral(".ts"));
            QStringList missing, broken;
            for (const QString &key : keys) {
                const auto it = table.constFind(key);
                if (it == table.constEnd())
                    missing.append(key.section(QLatin1Char('\n'), 1));
                else if (placeholders(*it) != placeholders(key.section(QLatin1Char('\n'), 1)))
                    broken.append(key.section(QLatin1Char('\n'), 1));
            }
            QVERIFY2(missing.isEmpty(), qPrintable(code + QStringLiteral(" lacks: ") +
                                                   missing.join(QStringLiteral(" | "))));
            QVERIFY2(broken.isEmpty(), qPrintable(code + QStringLiteral(" placeholders: ") +
                                                  broken.join(QStringLiteral(" | "))));
        }
    }

    // The glossary's words to avoid appear in no text a user sees, and no Uzbek case ending stands
    // apart from a placeholder or a key name ("Oʻng Ctrl ni").
    void wordingFollowsGlossary()
    {
        const QString glossary = QString::fromUtf8(TestSupport::readFile(
            TestSupport::sourceDir() + QStringLiteral("/translations/GLOSSARY.md")));
        QVERIFY(!glossary.isEmpty());
        QHash<QString, QList<std::pair<QString, QRegularExpression>>> avoid; // language -> terms
        static const QRegularExpression term(QStringLiteral("`([^`]+)`"));
        bool inTable = false;
        for (const QString &line : glossary.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("## ")))
                inTable = line == QLatin1String("## Words to avoid");
            const QStringList cells = line.split(QLatin1Char('|'));
            if (!inTable || cells.size() < 4)
                continue;
            const QString language = cells[1].trimmed();
            for (auto it = term.globalMatch(cells[2]); it.hasNext();) {
                const QString written = it.next().captured(1);
                QString word = written;
                const bool stem = word.endsWith(QLatin1Char('*'));
                if (stem)
                    word.chop(1);
                QString pattern = QRegularExpression::escape(word);
                if (word.front().isLetterOrNumber())
                    pattern.prepend(QLatin1String("\\b"));
                if (!stem && word.back().isLetterOrNumber())
                    pattern.append(QLatin1String("\\b"));
                avoid[language].append(
                    {written, QRegularExpression(
                                  pattern, QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::UseUnicodePropertiesOption)});
            }
        }
        const QStringList languages{QStringLiteral("uz"), QStringLiteral("ru"),
                                    QStringLiteral("en")};
        for (const QString &code : languages)
            QVERIFY2(!avoid.value(code).isEmpty(), qPrintable(code));

        static const QRegularExpression detachedEnding(
            QStringLiteral("(%\\d|\\b(Ctrl|Super|Shift|Alt|Enter|Esc)) (ni|ga|da|dan|ning)\\b"),
            QRegularExpression::UseUnicodePropertiesOption);
        for (const QString &code : languages) {
            QStringList keys;
            const Table table =
                read(TestSupport::sourceDir() + QStringLiteral("/translations/vesk_") + code +
                         QStringLiteral(".ts"),
                     &keys);
            QVERIFY(keys.size() > 50);
            QStringList found;
            for (const QString &key : keys) {
                const QString text = table.value(key, key.section(QLatin1Char('\n'), 1));
                for (const auto &[word, re] : avoid.value(code))
                    if (re.match(text).hasMatch())
                        found.append(word + QStringLiteral(" in: ") + text);
                if (code == QLatin1String("uz") && detachedEnding.match(text).hasMatch())
                    found.append(QStringLiteral("detached ending in ") + text);
            }
            QVERIFY2(found.isEmpty(),
                     qPrintable(code + QStringLiteral(": ") + found.join(QStringLiteral(" | "))));
        }
    }

    void compiledTablesLoad()
    {
        for (const QString &code : {QStringLiteral("uz"), QStringLiteral("ru")}) {
            QTranslator t;
            QVERIFY2(t.load(QStringLiteral(":/translations/vesk_") + code + QStringLiteral(".qm")),
                     qPrintable(code));
            QVERIFY(!t.isEmpty());
            const QString back = t.translate("OnboardingView", "Next");
            QVERIFY(!back.isEmpty() && back != QStringLiteral("Next"));
        }
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
