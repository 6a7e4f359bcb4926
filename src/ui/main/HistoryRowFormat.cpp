#include "ui/main/HistoryRowFormat.h"

#include <QCoreApplication>

namespace HistoryRowFormat {

QString dateText(const QDateTime &date, const QLocale &locale)
{
    // The locale's own order of day and month, its own clock, and no year or seconds.
    const QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    const bool dayFirst =
        dateFormat.indexOf(QLatin1Char('d')) < dateFormat.indexOf(QLatin1Char('M'));
    QString time = locale.timeFormat(QLocale::ShortFormat);
    time.remove(QStringLiteral(":ss"));
    const QString day = dayFirst ? QStringLiteral("d MMM") : QStringLiteral("MMM d");
    return locale.toString(date.toLocalTime(), day + QStringLiteral(", ") + time);
}

QString durationText(double seconds)
{
    return QString::asprintf("%.1f", seconds) + QStringLiteral("s");
}

QString buttonTip(HistoryList::Button button)
{
    // The buttons' texts keep the context the string tables know them by.
    switch (button) {
    case HistoryList::Copy:
        return QCoreApplication::translate("HistoryRow", "Copy");
    case HistoryList::Insert:
        return QCoreApplication::translate("HistoryRow", "Insert into the front app");
    case HistoryList::Delete:
        return QCoreApplication::translate("HistoryRow", "Delete");
    }
    return {};
}

} // namespace HistoryRowFormat
