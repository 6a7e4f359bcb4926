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

// A memory disk of `size` ("64k", "1m") mounted over a folder, for the tests of a full disk;
// unmounted again when it goes. Where this machine cannot mount one, `error` says why.
class SmallDisk
{
public:
    SmallDisk(const QString &folder, const QString &size);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool mounted() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    // Takes every free block from another process, as a busy program would.
    void fill() const;
    bool full() const;

private:
    QString m_folder;
    QString m_error;
};

} // namespace TestSupport

#define VESK_REQUIRE_DISPLAY()                                                                     \
    do {                                                                                           \
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {                                              \
            if (TestSupport::strict())                                                             \
                QFAIL("no X server (DISPLAY is not set)");                                         \
            QSKIP("no X server (DISPLAY is not set)");                                             \
        }                                                                                          \
    } while (false)
