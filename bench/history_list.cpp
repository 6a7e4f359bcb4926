// The history pane with a full history (1000 transcripts): the time to build and show it, and
// to filter it as a search is typed, next to a plain QListWidget holding the same texts.
#include "BenchSupport.h"
#include "state/AppState.h"
#include "ui/main/HistoryView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using Bench::median;

double msSince(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

QStringList texts(int count)
{
    const QStringList parts = {
        QStringLiteral("Ertaga soat uchda uchrashamiz, hujjatlarni olib keling."),
        QStringLiteral("Напомни мне позвонить в банк и уточнить про перевод."),
        QStringLiteral("Please send the quarterly report to Gulnora before Friday."),
        QStringLiteral("git commit -m \"Fix the login timeout\" and push to review."),
        QStringLiteral("Bugun kechqurun onamga qoʻngʻiroq qilishni unutmaslik kerak.")};
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("%1 (%2)").arg(parts[i % parts.size()]).arg(i);
    return list;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = 1000;
    const QStringList all = texts(count);
    History history;
    for (const QString &t : all)
        history.add(
            HistoryEntry::make(t, 3.2, QStringLiteral("gemini-3.7-flash"), QStringLiteral("mac")));
    // Typed one letter at a time, the way a search field reports it.
    const QString query = QStringLiteral("report");

    std::vector<double> showVesk, showPeer, filterVesk, filterPeer, addVesk, addPeer;
    for (int run = 0; run < 5; ++run) {
        {
            AppState state{Config(), History()};
            QElapsedTimer clock;
            clock.start();
            state.setHistory(history);
            HistoryView view(&state, [](const QString &) {});
            view.resize(640, 560);
            view.show();
            QApplication::processEvents();
            view.repaint();
            showVesk.push_back(msSince(clock));
            clock.restart();
            for (int n = 1; n <= query.size(); ++n) {
                view.setQuery(query.left(n));
                view.repaint();
            }
            filterVesk.push_back(msSince(clock));
            view.setQuery(QString());
            clock.restart();
            History more = state.history();
            more.add(HistoryEntry::make(QStringLiteral("One more transcript."), 1.0,
                                        QStringLiteral("gemini-3.7-flash"), QStringLiteral("mac")));
            state.setHistory(more);
            view.repaint();
            addVesk.push_back(msSince(clock));
        }
        {
            QElapsedTimer clock;
            clock.start();
            QListWidget list;
            list.setWordWrap(true);
            list.addItems(all);
            list.resize(640, 560);
            list.show();
            QApplication::processEvents();
            list.repaint();
            showPeer.push_back(msSince(clock));
            clock.restart();
            for (int n = 1; n <= query.size(); ++n) {
                const QString q = query.left(n);
                for (int i = 0; i < list.count(); ++i) {
                    QListWidgetItem *item = list.item(i);
                    item->setHidden(!item->text().contains(q, Qt::CaseInsensitive));
                }
                list.repaint();
            }
            filterPeer.push_back(msSince(clock));
            for (int i = 0; i < list.count(); ++i)
                list.item(i)->setHidden(false);
            clock.restart();
            list.insertItem(0, QStringLiteral("One more transcript."));
            list.repaint();
            addPeer.push_back(msSince(clock));
        }
    }
    std::printf("%-20s %14s %16s %12s\n", "", "build+show ms", "search (6 keys)", "one more ms");
    std::printf("%-20s %14.1f %16.1f %12.1f\n", "HistoryView (1000)", median(showVesk),
                median(filterVesk), median(addVesk));
    std::printf("%-20s %14.1f %16.1f %12.1f\n", "QListWidget (1000)", median(showPeer),
                median(filterPeer), median(addPeer));
    std::printf("%-20s %14.2f %16.2f %12.2f   (HistoryView / QListWidget)\n", "ratio",
                median(showVesk) / median(showPeer), median(filterVesk) / median(filterPeer),
                median(addVesk) / median(addPeer));
    return 0;
}
