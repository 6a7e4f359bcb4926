#include "desktop/x11/ReadReceipt.h"
#include "desktop/x11/SpareKeyPool.h"

#include <QtTest>

// The bookkeeping behind typing on spare key codes: which key code a character gets, and when a
// key code typed on may be bound anew. The keyboard map itself is tst_x11insert's.
class SpareKeysTest : public QObject
{
    Q_OBJECT

    static bool allRead(const SpareKeyPool::Slot &) { return true; }
    static QList<quint32> bound(SpareKeyPool &pool)
    {
        QList<quint32> out;
        for (const SpareKeyPool::Spare &spare : pool.spares())
            out << spare.slots[0].bound << spare.slots[1].bound;
        return out;
    }

private Q_SLOTS:
    void bindingFillsFirstLevelsFirstAndKeepsWhatIsWantedSoon()
    {
        SpareKeyPool pool;
        pool.setEmpty({10, 11});
        // Two first levels, then a Shift level on the first key: Shift costs two events more.
        QCOMPARE(pool.bind({1, 2, 3}, allRead), (std::vector<int>{10, 11, 10}));
        QCOMPARE(bound(pool), (QList<quint32>{1, 3, 2, 0}));
        // More than the pool holds: the soonest four stay; 1 and 2 are wanted again first.
        QCOMPARE(pool.bind({2, 1, 5, 6, 7}, allRead), (std::vector<int>{11, 10}));
        QCOMPARE(bound(pool), (QList<quint32>{1, 6, 2, 5}));
        QVERIFY(pool.find(6) && pool.find(6)->first->keycode == 10 && pool.find(6)->second == 1);
        QVERIFY(!pool.find(7));
    }

    void aKeyCodeNotYetReadIsNotReboundAndAShiftLevelNeedsAFirst()
    {
        SpareKeyPool pool;
        pool.setEmpty({10, 11});
        pool.bind({9}, allRead);
        const auto unread = [](const SpareKeyPool::Slot &slot) { return slot.pressSerial == 0; };
        // Key code 11 was typed on and unbound since: its keys may still be unread.
        pool.spares()[1].slots[0].pressSerial = 1;
        QCOMPARE(pool.bind({9, 4, 5}, unread), (std::vector<int>{10}));
        // 5 would need key code 11's Shift level, which types nothing without a first level.
        QCOMPARE(bound(pool), (QList<quint32>{9, 4, 0, 0}));
        pool.spares()[0].slots[0].pressSerial = 2;
        pool.spares()[0].slots[1].pressSerial = 3;
        QVERIFY(pool.bind({5}, unread).empty());
        QVERIFY(!pool.allRead(unread));
    }

    void requestsCoverRunsOfNeighboursAndANewLayoutKeepsBindings()
    {
        SpareKeyPool pool;
        pool.setEmpty({10, 11, 13});
        pool.bind({1, 2, 3, 4}, allRead);
        const std::vector<SpareKeyPool::Run> runs = pool.runs({13, 10, 11, 10});
        QCOMPARE(runs.size(), size_t(2));
        QCOMPARE(runs[0].first, 10);
        // A first level alone is given for both levels, or Shift would type a capital.
        QCOMPARE(runs[0].keysyms, (std::vector<unsigned long>{1, 4, 2, 2}));
        QCOMPARE(runs[1].first, 13);
        QCOMPARE(runs[1].keysyms, (std::vector<unsigned long>{3, 3}));
        // A new layout frees 12 and takes 13; the bound ones stay ours.
        pool.setEmpty({12});
        QVERIFY(pool.isBound(10) && pool.isBound(13) && pool.isSpare(12));
        QCOMPARE(pool.releaseAll(), (std::vector<int>{10, 11, 13}));
        QVERIFY(!pool.holdsBindings());
    }

    void keysAreReadOnceAPingAfterThemIsAnswered()
    {
        ReadReceipt receipt;
        const quint64 first = receipt.notePress();
        QVERIFY(!receipt.isRead(first, 0, 100));
        QVERIFY(receipt.wantsProof());
        const unsigned long ping = receipt.pingSent(true, 100);
        QVERIFY(!receipt.wantsProof());
        const quint64 second = receipt.notePress();
        QVERIFY(!receipt.answered(ping + 1)); // an older ping's answer proves nothing
        QVERIFY(receipt.answered(ping));
        QVERIFY(receipt.isRead(first, 0, 100));
        QVERIFY(!receipt.isRead(second, 100, 100));
        // A client that answers pings is waited for long; one that does not, for a margin.
        QVERIFY(!receipt.isRead(second, 100, 100 + ReadReceipt::unansweredMarginMs));
        QVERIFY(receipt.isRead(second, 100, 100 + ReadReceipt::pingTimeoutMs));
        receipt.pingSent(false, 200);
        QVERIFY(!receipt.isRead(second, 100, 99 + ReadReceipt::unansweredMarginMs));
        QVERIFY(receipt.isRead(second, 100, 100 + ReadReceipt::unansweredMarginMs));
    }
};

QTEST_APPLESS_MAIN(SpareKeysTest)
#include "tst_sparekeys.moc"
