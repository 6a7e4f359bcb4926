#include "AppLanguage.h"
#include "AppLanguagePicker.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The interface-language override in the application's own settings, and the restart.
class LanguageTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    int m_restarts = 0;

    static QSettings settings()
    {
        return QSettings(QStringLiteral("Vesk"), QStringLiteral("Vesk Voice"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        AppLanguage::setRestarter([this] { ++m_restarts; });
    }

    void init()
    {
        settings().clear();
        m_restarts = 0;
    }

    void choicesInTheirOwnLanguage()
    {
        const auto &c = AppLanguage::choices();
        QCOMPARE(c.size(), 4);
        QVERIFY(!c[0].code);
        QCOMPARE(c[1].name, QString::fromUtf8("O\u02BBzbekcha"));
        QCOMPARE(c[2].code, std::optional<QString>(QStringLiteral("en")));
        QCOMPARE(c[3].name, QStringLiteral("Русский"));
    }

    void choosingStoresAndRestartsOnlyOnChange()
    {
        QVERIFY(!AppLanguage::chosen());
        AppLanguage::choose(std::nullopt);
        QCOMPARE(m_restarts, 0);

        AppLanguage::choose(QStringLiteral("uz"));
        QCOMPARE(m_restarts, 1);
        QCOMPARE(AppLanguage::chosen(), std::optional<QString>(QStringLiteral("uz")));
        QCOMPARE(settings().value(QStringLiteral("AppleLanguages")).toStringList(),
                 QStringList{"uz"});

        AppLanguage::choose(QStringLiteral("uz"));
        QCOMPARE(m_restarts, 1);

        AppLanguage::choose(std::nullopt);
        QCOMPARE(m_restarts, 2);
        QVERIFY(!settings().contains(QStringLiteral("AppleLanguages")));
    }

    void storedByOtherMeans()
    {
        settings().setValue(QStringLiteral("AppleLanguages"), QStringList{"ru", "en"});
        QCOMPARE(AppLanguage::chosen(), std::optional<QString>(QStringLiteral("ru")));
        QCOMPARE(AppLanguage::effectiveCode(), QStringLiteral("ru"));

        settings().setValue(QStringLiteral("AppleLanguages"), QStringList{"fr"});
        AppLanguagePicker unknown;
        QCOMPARE(unknown.comboBox()->currentIndex(), -1);
        QCOMPARE(m_restarts, 0);
        unknown.comboBox()->setCurrentIndex(0); // System removes the foreign override
        QCOMPARE(m_restarts, 1);
        QVERIFY(!AppLanguage::chosen());

        settings().setValue(QStringLiteral("AppleLanguages"), 42);
        QVERIFY(!AppLanguage::chosen());
        settings().setValue(QStringLiteral("AppleLanguages"), QStringList{});
        QVERIFY(!AppLanguage::chosen());
    }

    void pickerStartsAtTheStoredChoice()
    {
        settings().setValue(QStringLiteral("AppleLanguages"), QStringList{"en"});
        AppLanguagePicker picker;
        QCOMPARE(picker.selection(), QStringLiteral("en"));
        QCOMPARE(m_restarts, 0);
        picker.comboBox()->setCurrentIndex(picker.comboBox()->findData(QStringLiteral("uz")));
        QCOMPARE(m_restarts, 1);
        QCOMPARE(AppLanguage::chosen(), std::optional<QString>(QStringLiteral("uz")));
    }

    void restartScriptTakesThePathWhole()
    {
        // A path with a space, a quote and a command separator must run as itself and nothing
        // else.
        QTemporaryDir dir;
        const QString program = dir.filePath(QStringLiteral("my app's; touch pwned"));
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho started > \"$(dirname \"$0\")/marker\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QStringList command = AppLanguage::restartCommand(program);
        QCOMPARE(command.last(), program);
        QVERIFY(!command[2].contains(program));
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(command.first(), command.mid(1));
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("marker"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
    }
};

QTEST_MAIN(LanguageTest)
#include "tst_language.moc"
