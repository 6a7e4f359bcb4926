#include "HistoryRow.h"
#include "HistoryView.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// The history pane with real widgets: search, the row buttons, delete and clear with the file.
class HistoryViewTest : public QObject
{
    Q_OBJECT

    struct Rig
    {
        AppState state{Config(), History()};
        QStringList inserted;
        std::unique_ptr<HistoryView> view;

        explicit Rig(const QStringList &texts = {}, const QStringList &sources = {})
        {
            History h;
            // Stored newest first: add oldest first.
            for (qsizetype i = texts.size() - 1; i >= 0; --i)
                h.add(HistoryEntry::make(texts[i], 1.5, QStringLiteral("gemini-2.5-flash"),
                                         sources.value(i, QStringLiteral("mac"))));
            state.setHistory(h);
            h.save();
            view = std::make_unique<HistoryView>(
                &state, [this](const QString &text) { inserted.append(text); });
            view->resize(640, 480);
        }

        QStringList shownTexts() const
        {
            QStringList texts;
            for (HistoryRow *row : view->visibleRows())
                texts.append(row->entry().text);
            return texts;
        }
    };

    static void hover(QWidget *w, bool in)
    {
        if (in) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)));
            QCoreApplication::sendEvent(w, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(w, &leave);
        }
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void emptyHistory()
    {
        Rig rig;
        QVERIFY(rig.view->showsEmptyState());
        QVERIFY(rig.view->searchField()->isHidden());
        QVERIFY(!rig.view->clearButton()->isEnabled());
        QCOMPARE(rig.view->emptyDescription()->text(),
                 QStringLiteral("Hold Right Ctrl and talk, or click the floating button."));
        Config c = rig.state.config();
        c.hotkey = HotkeyKind::control;
        rig.state.setConfig(c);
        QCOMPARE(rig.view->emptyDescription()->text(),
                 QStringLiteral("Hold Control and talk, or click the floating button."));
        // The button does nothing while there is nothing to clear.
        rig.view->askToClear();
        QVERIFY(!rig.view->confirmingClear());
    }

    void search_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");
        const QString hello = QStringLiteral("hello world");
        const QString peace = QStringLiteral("world peace");
        const QString russian = QStringLiteral("привет, Мир");
        const QString uzbek = QStringLiteral("Oʻzbekiston bayrogʻi");
        QTest::newRow("empty query shows all in stored order")
            << QString() << QStringList{hello, peace, russian, uzbek};
        QTest::newRow("capitals find small letters")
            << QStringLiteral("HELLO") << QStringList{hello};
        QTest::newRow("word in two texts") << QStringLiteral("World") << QStringList{hello, peace};
        QTest::newRow("leading blank is kept") << QStringLiteral(" world") << QStringList{hello};
        QTest::newRow("trailing blank is kept") << QStringLiteral("peace ") << QStringList{};
        QTest::newRow("Cyrillic capitals") << QStringLiteral("ПРИВЕТ, мИР") << QStringList{russian};
        QTest::newRow("Uzbek modifier letter") << QStringLiteral("OʻZBEK") << QStringList{uzbek};
        QTest::newRow("model is not searched") << QStringLiteral("flash") << QStringList{};
        QTest::newRow("words are not split") << QStringLiteral("hello peace") << QStringList{};
    }

    void search()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        Rig rig({QStringLiteral("hello world"), QStringLiteral("world peace"),
                 QStringLiteral("привет, Мир"), QStringLiteral("Oʻzbekiston bayrogʻi")});
        QVERIFY(!rig.view->showsEmptyState());
        QVERIFY(!rig.view->searchField()->isHidden());
        QCOMPARE(rig.view->searchField()->placeholderText(), QStringLiteral("Search transcripts"));
        // As typed: every edit filters at once.
        rig.view->searchField()->setText(query);
        QCOMPARE(rig.view->query(), query);
        QCOMPARE(rig.shownTexts(), expected);
        // Nothing found is an empty list, not the empty-history panel.
        QVERIFY(!rig.view->showsEmptyState());
        QCOMPARE(HistoryView::results(rig.state.history(), query, QLocale()).size(),
                 expected.size());
    }

    void typedQueryFilters()
    {
        VESK_REQUIRE_DISPLAY();
        Rig rig({QStringLiteral("Buy milk"), QStringLiteral("call Bob")});
        rig.view->show();
        QTest::keyClicks(rig.view->searchField(), QStringLiteral("BO"));
        QCOMPARE(rig.shownTexts(), QStringList{QStringLiteral("call Bob")});
        QTest::keyClick(rig.view->searchField(), Qt::Key_Backspace);
        QTest::keyClick(rig.view->searchField(), Qt::Key_Backspace);
        QCOMPARE(rig.shownTexts().size(), 2);
    }

    void rowLines_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("durationText");
        QTest::newRow("two seconds") << 2.0 << QStringLiteral("2.0s");
        QTest::newRow("rounded down to zero") << 0.04 << QStringLiteral("0.0s");
        QTest::newRow("one decimal") << 12.26 << QStringLiteral("12.3s");
    }

    void rowLines()
    {
        QFETCH(double, duration);
        QFETCH(QString, durationText);
        QCOMPARE(HistoryRow::durationText(duration), durationText);

        const QDateTime date(QDate(2024, 12, 5), QTime(15, 20, 42));
        QString us = HistoryRow::dateText(date, QLocale(QLocale::English, QLocale::UnitedStates));
        us.replace(QChar(0x202f), QLatin1Char(' '));
        QCOMPARE(us, QStringLiteral("Dec 5, 3:20 PM"));
        const QString ru = HistoryRow::dateText(date, QLocale(QLocale::Russian, QLocale::Russia));
        QVERIFY2(ru.startsWith(QStringLiteral("5 ")) && ru.endsWith(QStringLiteral("15:20")),
                 qPrintable(ru));
        QVERIFY(!ru.contains(QStringLiteral("2024")));
    }

    void sourceLabelOnlyForOtherSources()
    {
        Rig rig({QStringLiteral("from the desk"), QStringLiteral("from the phone")},
                {QStringLiteral("mac"), QStringLiteral("iPhone")});
        const QList<HistoryRow *> rows = rig.view->visibleRows();
        QCOMPARE(rows.size(), 2);
        QVERIFY(!rows[0]->sourceLabel());
        QVERIFY(rows[1]->sourceLabel());
        const QList<QLabel *> labels = rows[1]->sourceLabel()->findChildren<QLabel *>();
        QCOMPARE(labels.size(), 2);
        QVERIFY(!labels[0]->pixmap().isNull()); // the phone symbol
        QCOMPARE(labels[1]->text(), QStringLiteral("iPhone"));
        // The text can be selected once the pointer is over its row.
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(rows[0], &enter);
        QVERIFY(rows[0]->textLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
    }

    void hoverShowsButtons()
    {
        Rig rig({QStringLiteral("one"), QStringLiteral("two")});
        // The buttons are made on the first visit; the row keeps its height when they come.
        HistoryRow *untouched = rig.view->visibleRows().last();
        HistoryRow *row = rig.view->visibleRows().first();
        const int height = row->sizeHint().height();
        QVERIFY(!row->copyButton()->isVisibleTo(row));
        QCOMPARE(row->sizeHint().height(), height);
        QCOMPARE(untouched->sizeHint().height(), height);
        hover(row, true);
        QVERIFY(row->hovering());
        QVERIFY(row->copyButton()->isVisibleTo(row));
        QCOMPARE(row->copyButton()->toolTip(), QStringLiteral("Copy"));
        QCOMPARE(row->insertButton()->toolTip(), QStringLiteral("Insert into the front app"));
        QCOMPARE(row->deleteButton()->toolTip(), QStringLiteral("Delete"));
        hover(row, false);
        QVERIFY(!row->copyButton()->isVisibleTo(row));
    }

    void copyShowsCheckMarkForAWhile()
    {
        Rig rig({QStringLiteral("Salom, dunyo — привет 😀")});
        HistoryRow *row = rig.view->visibleRows().first();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        hover(row, true);
        row->copyButton()->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Salom, dunyo — привет 😀"));
        QVERIFY(row->copied());
        QCOMPARE(row->copyButton()->property("symbol").toString(), QStringLiteral("checkmark"));
        // The pointer leaves: the buttons stay while the check mark shows.
        hover(row, false);
        QVERIFY(row->copyButton()->isVisibleTo(row));
        QTRY_VERIFY_WITH_TIMEOUT(!row->copied(), 5000);
        QCOMPARE(row->copyButton()->property("symbol").toString(), QStringLiteral("doc.on.doc"));
        QVERIFY(!row->copyButton()->isVisibleTo(row));
    }

    void insertHandsTheTextOver()
    {
        Rig rig({QStringLiteral("first"), QStringLiteral("second")});
        rig.view->visibleRows()[1]->insertButton()->click();
        QCOMPARE(rig.inserted, QStringList{QStringLiteral("second")});
    }

    void deleteRemovesFromTheFile()
    {
        Rig rig({QStringLiteral("keep me"), QStringLiteral("drop me"), QStringLiteral("keep too")});
        HistoryRow *row = rig.view->visibleRows()[1];
        const QUuid id = row->entry().id;
        row->deleteButton()->click();
        QTRY_COMPARE(rig.state.history().entries.size(), 2);
        QCOMPARE(rig.shownTexts(), (QStringList{"keep me", "keep too"}));
        const History stored = History::load();
        QCOMPARE(stored.entries.size(), 2);
        for (const HistoryEntry &e : stored.entries)
            QVERIFY(e.id != id);
    }

    void rowsAreKeptAcrossNewTranscripts()
    {
        Rig rig({QStringLiteral("older")});
        HistoryRow *row = rig.view->visibleRows().first();
        row->copy();
        History h = rig.state.history();
        h.add(HistoryEntry::make(QStringLiteral("newer"), 1, QStringLiteral("m"),
                                 QStringLiteral("mac")));
        rig.state.setHistory(h);
        QCOMPARE(rig.shownTexts(), (QStringList{"newer", "older"}));
        // The same row, with its check mark still on.
        QCOMPARE(rig.view->visibleRows()[1], row);
        QVERIFY(row->copied());
    }

    void clearAfterConfirmation()
    {
        Rig rig({QStringLiteral("a"), QStringLiteral("b")});
        QVERIFY(rig.view->clearButton()->isEnabled());
        QCOMPARE(rig.view->clearButton()->text(), QStringLiteral("Clear"));

        // Dismissing changes nothing.
        rig.view->clearButton()->click();
        QVERIFY(rig.view->confirmingClear());
        QMessageBox *box = rig.view->confirmation();
        QCOMPARE(box->text(), QStringLiteral("Delete every transcript?"));
        QCOMPARE(box->informativeText(), QStringLiteral("This cannot be undone."));
        box->reject();
        QTRY_VERIFY(!rig.view->confirmingClear());
        QCOMPARE(rig.state.history().entries.size(), 2);
        QCOMPARE(History::load().entries.size(), 2);

        rig.view->clearButton()->click();
        box = rig.view->confirmation();
        auto *deleteAll = box->findChild<QPushButton *>(QStringLiteral("deleteAll"));
        QVERIFY(deleteAll);
        QCOMPARE(deleteAll->text(), QStringLiteral("Delete all"));
        deleteAll->click();
        QVERIFY(rig.state.history().entries.isEmpty());
        QVERIFY(History::load().entries.isEmpty());
        QVERIFY(rig.view->showsEmptyState());
        QVERIFY(!rig.view->clearButton()->isEnabled());
        QTRY_VERIFY(!rig.view->confirmingClear());
    }
};

QTEST_MAIN(HistoryViewTest)
#include "tst_historyview.moc"
