#include "ui/main/HistoryList.h"
#include "ui/main/HistoryModel.h"
#include "ui/main/HistoryRowFormat.h"
#include "ui/main/HistoryView.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>
#include <QGuiApplication>

// The history pane as the user meets it, with a full history where it matters: search, the text
// selection, the row buttons under a real pointer, a new transcript, delete and clear with the
// file.
class HistoryViewTest : public QObject
{
    Q_OBJECT

    struct Rig
    {
        AppState state{Config(), History()};
        QStringList inserted;
        std::unique_ptr<HistoryView> view;

        // `texts` newest first; `older` more transcripts after them, up to a full history.
        explicit Rig(const QStringList &texts = {}, const QStringList &sources = {}, int older = 0)
        {
            History h;
            // Stored newest first: add oldest first.
            for (int i = older; i > 0; --i)
                h.add(HistoryEntry::make(filler(i), 2, u"m"_s, u"mac"_s));
            for (qsizetype i = texts.size() - 1; i >= 0; --i)
                h.add(HistoryEntry::make(texts[i], 1.5, u"gemini-2.5-flash"_s,
                                         sources.value(i, u"mac"_s)));
            state.setHistory(h);
            state.saveHistory();
            view = std::make_unique<HistoryView>(
                &state, [this](const QString &text) { inserted.append(text); });
            view->resize(640, 480);
            view->show();
            QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        }

        HistoryList *list() const { return view->list(); }
        QWidget *viewport() const { return list()->viewport(); }

        QStringList shownTexts() const
        {
            QStringList texts;
            for (const HistoryEntry &e : list()->historyModel()->entries())
                texts.append(e.text);
            return texts;
        }

        // Scrolls the row into sight and puts the pointer on it.
        void pointAt(int row, const QPoint &at = {})
        {
            list()->scrollTo(list()->historyModel()->index(row));
            const QRect r = list()->rowRect(row);
            QTest::mouseMove(viewport(), at.isNull() ? r.center() : at);
            QTRY_COMPARE(list()->hoveredRow(), row);
        }
    };

    static QString filler(int i) { return u"Eslatma %1: non va sut olish"_s.arg(i); }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void search_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");
        const QString hello = u"hello world"_s;
        const QString peace = u"world peace"_s;
        const QString russian = u"привет, Мир"_s;
        const QString uzbek = u"Oʻzbekiston bayrogʻi"_s;
        QTest::newRow("capitals find small letters") << u"HELLO"_s << QStringList{hello};
        QTest::newRow("word in two texts") << u"World"_s << QStringList{hello, peace};
        QTest::newRow("leading blank is kept") << u" world"_s << QStringList{hello};
        QTest::newRow("trailing blank is kept") << u"peace "_s << QStringList{};
        QTest::newRow("Cyrillic capitals") << u"ПРИВЕТ, мИР"_s << QStringList{russian};
        QTest::newRow("Uzbek modifier letter") << u"OʻZBEK"_s << QStringList{uzbek};
        QTest::newRow("model is not searched") << u"flash"_s << QStringList{};
        QTest::newRow("words are not split") << u"hello peace"_s << QStringList{};
        QStringList older{filler(99)};
        for (int i = 990; i <= 996; ++i)
            older.append(filler(i));
        QTest::newRow("the older ones too") << u"ESLATMA 99"_s << older;
    }

    void search()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        const QStringList named = {u"hello world"_s, u"world peace"_s, u"привет, Мир"_s,
                                   u"Oʻzbekiston bayrogʻi"_s};
        Rig rig(named, {}, int(History::cap) - 4);
        const QList<HistoryEntry> all = rig.state.history().entries;

        // As typed: every key filters at once, and taking the query back shows everything again.
        rig.view->searchField()->setFocus();
        for (QChar c : query) // any script, one key at a time
            QTest::sendKeyEvent(QTest::Click, rig.view->searchField(), Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
        QCOMPARE(rig.view->query(), query);
        QCOMPARE(rig.shownTexts(), expected);
        // Nothing found is an empty list, not the empty-history panel.
        QVERIFY(!rig.view->showsEmptyState());
        for (qsizetype i = 0; i < query.size(); ++i)
            QTest::keyClick(rig.view->searchField(), Qt::Key_Backspace);
        QCOMPARE(rig.list()->historyModel()->entries(), all);
    }

    void rowLines()
    {
        QCOMPARE(HistoryRowFormat::durationText(2.0), u"2.0s"_s);
        QCOMPARE(HistoryRowFormat::durationText(0.04), u"0.0s"_s);
        QCOMPARE(HistoryRowFormat::durationText(12.26), u"12.3s"_s);

        const QDateTime date(QDate(2024, 12, 5), QTime(15, 20, 42));
        QString us =
            HistoryRowFormat::dateText(date, QLocale(QLocale::English, QLocale::UnitedStates));
        us.replace(QChar(0x202f), u' ');
        QCOMPARE(us, u"Dec 5, 3:20 PM"_s);
        const QString ru =
            HistoryRowFormat::dateText(date, QLocale(QLocale::Russian, QLocale::Russia));
        QVERIFY2(ru.startsWith(u"5 "_s) && ru.endsWith(u"15:20"_s), qPrintable(ru));
        QVERIFY(!ru.contains(u"2024"_s));
    }

    void sourceShownOnlyForOtherSources()
    {
        Rig rig({u"same"_s, u"same"_s, u"same"_s}, {u"mac"_s, u"iPhone"_s, u"mac"_s});
        // The same time and length on each row, so that only the source can tell them apart.
        History h = rig.state.history();
        for (HistoryEntry &e : h.entries)
            e.date = h.entries.first().date;
        rig.state.setHistory(h);
        QTest::mouseMove(rig.view.get(), QPoint(1, 1)); // off the rows
        const QImage shot = rig.viewport()->grab().toImage();
        auto firstLine = [&](int row) {
            const QRect r = rig.list()->rowRect(row);
            // Below the divider, above the text.
            const QRect text = rig.list()->textRect(row);
            return shot.copy(
                QRect(text.left(), r.top() + 1, text.width(), text.top() - r.top() - 1));
        };
        QCOMPARE(firstLine(0), firstLine(2));
        QVERIFY(firstLine(1) != firstLine(0));
    }

    void buttons_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<HistoryList::Button>("button");
        QTest::addColumn<QString>("tooltip");
        // A key instead of the pointer: the current row, reached from the keyboard.
        QTest::addColumn<QKeySequence>("key");
        QTest::newRow("copy the newest") << 0 << HistoryList::Copy << u"Copy"_s << QKeySequence();
        QTest::newRow("insert one from the middle")
            << 500 << HistoryList::Insert << u"Insert into the front app"_s << QKeySequence();
        QTest::newRow("delete the oldest")
            << 999 << HistoryList::Delete << u"Delete"_s << QKeySequence();
        QTest::newRow("Ctrl+C copies the current row")
            << 3 << HistoryList::Copy << QString() << QKeySequence(QKeySequence::Copy);
        QTest::newRow("Enter inserts it")
            << 500 << HistoryList::Insert << QString() << QKeySequence(Qt::Key_Return);
        QTest::newRow("Delete deletes it")
            << 999 << HistoryList::Delete << QString() << QKeySequence(Qt::Key_Delete);
    }

    void buttons()
    {
        QFETCH(int, row);
        QFETCH(HistoryList::Button, button);
        QFETCH(QString, tooltip);
        QFETCH(QKeySequence, key);
        Rig rig({u"Salom, dunyo — привет 😀"_s}, {}, int(History::cap) - 1);
        HistoryList *list = rig.list();
        const HistoryEntry entry = list->historyModel()->entry(row);
        QVERIFY(!list->buttonsShown(row));
        QGuiApplication::clipboard()->setText(u"before"_s);

        if (key.isEmpty()) {
            // Under the pointer: the buttons, each with its tooltip.
            rig.pointAt(row);
            QVERIFY(list->buttonsShown(row));
            const QPoint at = list->buttonRect(row, button).center();
            QTest::mouseMove(rig.viewport(), at);
            QHelpEvent help(QEvent::ToolTip, at, rig.viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(rig.viewport(), &help);
            QTRY_COMPARE(QToolTip::text(), tooltip);
            QToolTip::hideText();
            QTest::mouseClick(rig.viewport(), Qt::LeftButton, {}, at);
        } else {
            // Tab brings the focus to the newest row, which shows its buttons; arrows move on.
            rig.view->activateWindow();
            QTRY_VERIFY(rig.view->isActiveWindow());
            list->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(list->hasFocus());
            QVERIFY(list->buttonsShown(0));
            QTest::keyClick(list, Qt::Key_Down);
            QVERIFY(list->buttonsShown(1) && !list->buttonsShown(0));
            list->setCurrentIndex(list->historyModel()->index(row));
            QTest::keySequence(list, key);
        }
        switch (button) {
        case HistoryList::Copy: {
            QCOMPARE(QGuiApplication::clipboard()->text(), entry.text);
            QCOMPARE(list->copySymbol(row), u"checkmark"_s);
            // The pointer leaves: the buttons stay while the check mark shows.
            QTest::mouseMove(rig.view.get(), QPoint(1, 1));
            QTRY_COMPARE(list->hoveredRow(), -1);
            QVERIFY(list->buttonsShown(row));
            QTRY_VERIFY_WITH_TIMEOUT(!list->copied(row), 5000);
            QCOMPARE(list->copySymbol(row), u"doc.on.doc"_s);
            // Still the keyboard's current row, or nothing under the pointer any more.
            QCOMPARE(list->buttonsShown(row), !key.isEmpty());
            break;
        }
        case HistoryList::Insert:
            QCOMPARE(rig.inserted, QStringList{entry.text});
            QCOMPARE(QGuiApplication::clipboard()->text(), u"before"_s);
            QVERIFY(rig.view->isVisible());
            break;
        case HistoryList::Delete: {
            QTRY_COMPARE(rig.state.history().entries.size(), History::cap - 1);
            QVERIFY(!rig.shownTexts().contains(entry.text));
            const History stored = History::load();
            QCOMPARE(stored.entries.size(), History::cap - 1);
            for (const HistoryEntry &e : stored.entries)
                QVERIFY(e.id != entry.id);
            break;
        }
        }
        // Nothing else happened.
        if (button != HistoryList::Insert)
            QVERIFY(rig.inserted.isEmpty());
        if (button != HistoryList::Delete)
            QCOMPARE(rig.state.history().entries.size(), History::cap);
    }

    void textOfTheRowUnderThePointerIsSelectable()
    {
        Rig rig({u"first transcript"_s, u"second transcript"_s}, {}, int(History::cap) - 2);
        HistoryList *list = rig.list();
        rig.pointAt(1);
        QLabel *text = list->selector();
        QVERIFY(text->isVisible());
        QCOMPARE(text->text(), u"second transcript"_s);
        QCOMPARE(text->geometry().topLeft(), list->textRect(1).topLeft());

        // A drag over the text selects it, as in any label.
        const int y = text->height() / 2;
        const QPoint end(text->fontMetrics().horizontalAdvance("second"), y);
        QTest::mousePress(text, Qt::LeftButton, {}, QPoint(1, y));
        QTest::mouseMove(text, end);
        QTest::mouseRelease(text, Qt::LeftButton, {}, end);
        QTRY_VERIFY(text->hasSelectedText());
        QVERIFY(u"second transcript"_s.startsWith(text->selectedText()));

        // The wheel brings other rows under a pointer that stays: the selectable text follows.
        list->scrollTo(list->historyModel()->index(600), QAbstractItemView::PositionAtTop);
        QTRY_VERIFY(list->hoveredRow() >= 600);
        QCOMPARE(text->text(), list->historyModel()->entry(list->hoveredRow()).text);
        QCOMPARE(text->geometry().topLeft(), list->textRect(list->hoveredRow()).topLeft());
    }

    void newTranscriptKeepsTheRows()
    {
        Rig rig({u"older"_s}, {}, int(History::cap) - 1);
        HistoryList *list = rig.list();
        list->copy(0);
        const QRect first = list->rowRect(0);
        History h = rig.state.history();
        h.add(HistoryEntry::make(u"newer"_s, 1, u"m"_s, u"mac"_s));
        rig.state.setHistory(h);
        // Which one dropped out is tst_history's capOnAdd.
        QCOMPARE(rig.shownTexts().size(), History::cap);
        QCOMPARE(rig.shownTexts().first(), u"newer"_s);
        // The copied row keeps its check mark, one row further down.
        QVERIFY(list->copied(1));
        QVERIFY(!list->copied(0));
        QCOMPARE(list->rowRect(0).top(), first.top());
        QCOMPARE(list->rowRect(1).top(), first.bottom() + 1);
    }

    // Clearing asks first; what is left is the empty history's panel, which says how to dictate.
    void clearAfterConfirmation()
    {
        Rig rig({u"a"_s, u"b"_s});
        QVERIFY(!rig.view->searchField()->isHidden());
        // Dismissing changes nothing.
        rig.view->clearButton()->click();
        QVERIFY(rig.view->confirmingClear());
        rig.view->confirmation()->reject();
        QTRY_VERIFY(!rig.view->confirmingClear());
        QCOMPARE(rig.state.history().entries.size(), 2);
        QCOMPARE(History::load().entries.size(), 2);

        rig.view->clearButton()->click();
        auto *deleteAll = rig.view->confirmation()->findChild<QPushButton *>(u"deleteAll"_s);
        QVERIFY(deleteAll);
        deleteAll->click();
        QVERIFY(History::load().entries.isEmpty());
        QVERIFY(rig.view->showsEmptyState());
        QVERIFY(rig.view->searchField()->isHidden());
        QVERIFY(!rig.view->clearButton()->isEnabled());
        QTRY_VERIFY(!rig.view->confirmingClear());
        QCOMPARE(rig.view->emptyDescription()->text(),
                 u"Hold Right Ctrl and talk, or click the floating button."_s);
        // The key in effect, which an unsaved edit does not change.
        Config c = rig.state.config();
        c.hotkey = HotkeyKind::rightCommand;
        rig.state.setConfig(c);
        rig.state.setHotkeyInEffect(HotkeyKind::control);
        QCOMPARE(rig.view->emptyDescription()->text(),
                 u"Hold Control and talk, or click the floating button."_s);
    }
};

QTEST_MAIN(HistoryViewTest)
#include "tst_historyview.moc"
