#pragma once

#include "records/Log.h"
#include "TestSupport.h"

#include <QStringList>

// The app's log so far, whole, and as its messages without their time stamps ("HH:MM:SS.mmm ").
inline QString logText()
{
    Log::flush();
    return QString::fromUtf8(TestSupport::readFile(Log::fileURL()));
}

inline QStringList logMessages()
{
    QStringList lines;
    for (const QString &line : logText().split(u'\n', Qt::SkipEmptyParts))
        lines.append(line.mid(13));
    return lines;
}
