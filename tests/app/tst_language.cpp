#include "language/AppLanguage.h"
#include "language/AppLanguagePicker.h"
#include "TestSupport.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

// The interface-language override in the application's own settings, and the restart.
class LanguageTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    int m_restarts = 0;

    static QSettings settings() { return QSettings(u"Vesk"_s, u"Vesk Voice"_s); }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        AppLanguage::setRestarter([this] { ++m_restarts; });
        // The test starts in neither language, so that a table that fails to load shows.
        QLocale::setDefault(QLocale::c());
    }

    void init()
    {
        settings().clear();
        m_restarts = 0;
    }

    void choosingStoresAndRestartsOnlyOnChange()
    {
        AppLanguage::choose(std::nullopt);
        QCOMPARE(m_restarts, 0);

        AppLanguage::choose(u"uz"_s);
        QCOMPARE(m_restarts, 1);
        QCOMPARE(settings().value(u"AppleLanguages"_s).toStringList(), QStringList{"uz"});

        AppLanguage::choose(u"uz"_s);
        QCOMPARE(m_restarts, 1);

        AppLanguage::choose(std::nullopt);
        QCOMPARE(m_restarts, 2);
        QVERIFY(!settings().contains(u"AppleLanguages"_s));

        // A language in the organisation-wide file (~/.config/Vesk.conf) is not the app's.
        QSettings organisation(u"Vesk"_s);
        organisation.setValue(u"AppleLanguages"_s, QStringList{"ru"});
        organisation.sync();
        const auto removeIt = qScopeGuard([&] { organisation.clear(); });
        QVERIFY(!AppLanguage::chosen());

        // Stored by other means: the first of a list; one the app does not know, which the picker
        // shows as none; anything else is no choice.
        settings().setValue(u"AppleLanguages"_s, QStringList{"ru", "en"});
        QCOMPARE(AppLanguage::chosen(), std::optional<QString>(u"ru"_s));

        settings().setValue(u"AppleLanguages"_s, QStringList{"fr"});
        AppLanguagePicker unknown;
        QCOMPARE(unknown.comboBox()->currentIndex(), -1);
        QCOMPARE(m_restarts, 2); // the two above
        // System, chosen from the list as a user does, removes the foreign override.
        QAbstractItemView *list = unknown.comboBox()->view();
        unknown.comboBox()->showPopup();
        QTRY_VERIFY(list->isVisible());
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(m_restarts, 3);
        QVERIFY(!AppLanguage::chosen());

        settings().setValue(u"AppleLanguages"_s, 42);
        QVERIFY(!AppLanguage::chosen());
        settings().setValue(u"AppleLanguages"_s, QStringList{});
        QVERIFY(!AppLanguage::chosen());
    }

    // Only a choice made in the list switches (and restarts): not the wheel passing over it,
    // not the arrow keys, not a change made by the program.
    void pickerActsOnlyOnAChoiceFromItsList()
    {
        settings().setValue(u"AppleLanguages"_s, QStringList{"en"});
        AppLanguagePicker picker;
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        QComboBox *box = picker.comboBox();
        QCOMPARE(picker.selection(), u"en"_s);
        const int english = box->currentIndex();

        QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        box->setFocus();
        QApplication::sendEvent(box, &wheel);
        QCOMPARE(box->currentIndex(), english);
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_End, Qt::Key_R}) {
            QTest::keyClick(box, key);
            QCOMPARE(box->currentIndex(), english);
            // The keys open the list instead.
            QTRY_VERIFY(box->view()->isVisible());
            box->hidePopup();
        }
        box->setCurrentIndex(box->findData(u"ru"_s));
        QCOMPARE(m_restarts, 0);
        QCOMPARE(AppLanguage::chosen(), std::optional<QString>(u"en"_s));
        // A choice from the list does: tst_shell's languageSwitchLosesNothing.
    }

    // The whole interface follows the choice: our texts, Qt's own (where the system ships them),
    // and the dates.
    void theChosenLanguageReachesDatesAndQtTexts_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QLocale::Language>("language");
        QTest::addColumn<QString>("march");
        QTest::addColumn<QString>("close");
        QTest::addColumn<QString>("selectAll");
        QTest::newRow("ru") << u"ru"_s << QLocale::Russian << QString::fromUtf8("мар")
                            << QString::fromUtf8("Закрыть") << QString::fromUtf8("Выделить всё");
        // Debian ships no Uzbek translation of Qt: these come from our own small table.
        QTest::newRow("uz") << u"uz"_s << QLocale::Uzbek << u"mar"_s << u"Yopish"_s
                            << u"Hammasini belgilash"_s;
        QTest::newRow("en") << u"en"_s << QLocale::English << u"Mar"_s << u"Close"_s
                            << u"Select All"_s;
    }

    void theChosenLanguageReachesDatesAndQtTexts()
    {
        QFETCH(QString, code);
        QFETCH(QLocale::Language, language);
        QFETCH(QString, march);
        QFETCH(QString, close);
        QFETCH(QString, selectAll);
        settings().setValue(u"AppleLanguages"_s, QStringList{code});
        QCOMPARE(AppLanguage::installTranslator(qApp), code);
        // Our own texts too, from a table that holds them.
        QCOMPARE(qApp->translate("OnboardingView", "Next") != u"Next"_s, code != "en"_L1);

        QCOMPARE(QLocale().language(), language);
        const QString date = QLocale().toString(QDate(2025, 3, 14), u"MMM d"_s);
        QVERIFY2(date.startsWith(march, Qt::CaseInsensitive), qPrintable(date));

        QDialogButtonBox box(QDialogButtonBox::Close);
        QCOMPARE(box.button(QDialogButtonBox::Close)->text(), close);
        QLineEdit field(u"text"_s);
        std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
        QStringList entries;
        for (const QAction *a : menu->actions())
            entries.append(a->text().remove(u'&').section(u'\t', 0, 0));
        QVERIFY2(entries.contains(selectAll), qPrintable(entries.join(u'|')));

        for (QTranslator *t : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
        QLocale::setDefault(QLocale::c());
    }

    void restartScriptTakesThePathWhole()
    {
        // A path with a space, a quote and a command separator must run as itself and nothing
        // else.
        QTemporaryDir dir;
        const QString program = dir.filePath(u"my app's; touch pwned"_s);
        TestSupport::writeFile(program, "#!/bin/sh\necho started > \"$(dirname \"$0\")/marker\"\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QStringList command = AppLanguage::restartCommand(program);
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(command.first(), command.mid(1));
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QFile::exists(dir.filePath(u"marker"_s)));
        QVERIFY(!QFile::exists(dir.filePath(u"pwned"_s)));
    }
};

QTEST_MAIN(LanguageTest)
#include "tst_language.moc"
