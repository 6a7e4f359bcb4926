#pragma once

#include <QString>

// The diagnostic log "vesk.log" in the data folder. Every call returns at once; the file work runs
// in call order on the one worker thread "vesk.log".
namespace Log {

void write(const QString &message);
// Deletes the file; called once per launch before the first write.
void reset();
// Waits until every line queued so far is on disk (for the command line's exit and for tests).
void flush();
QString fileURL();

} // namespace Log
