#pragma once

#include <QString>
#include <QtTest>

namespace TestSupport {

// Points VESK_DATA_DIR at a fresh folder of this process, before anything reads the data folder
// (its location is fixed on first use). Returns the folder.
QString isolateDataDir();

// scripts/test sets VESK_TEST_STRICT: then a missing X server or audio server is a failure, not a
// skip.
bool strict();
QString binaryDir();
QString sourceDir();
// The permission bits of a file, as chmod writes them (0600).
int unixMode(const QString &path);
// The built vesk-voice executable.
QString executable();
// Runs a tool to its end (10 s at most) while this process's event loop keeps going, so that a
// clipboard this process owns is still served; the tool's standard output.
QByteArray runServing(const QString &program, const QStringList &args);

} // namespace TestSupport

#define VESK_REQUIRE_DISPLAY()                                                                     \
    do {                                                                                           \
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {                                              \
            if (TestSupport::strict())                                                             \
                QFAIL("no X server (DISPLAY is not set)");                                         \
            QSKIP("no X server (DISPLAY is not set)");                                             \
        }                                                                                          \
    } while (false)
