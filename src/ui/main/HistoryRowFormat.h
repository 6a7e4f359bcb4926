#pragma once

#include "ui/main/HistoryList.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

// The words of a history row: its time, its length, its buttons' names.
namespace HistoryRowFormat {

// "Dec 5, 3:20 PM" in a US English locale: month, day, hour and minute, no year or seconds.
QString dateText(const QDateTime &date, const QLocale &locale);
// One decimal and "s": 2 s reads 2.0s.
QString durationText(double seconds);
// A button's tool tip, which the context menu's items share.
QString buttonTip(HistoryList::Button button);

} // namespace HistoryRowFormat
