#pragma once

#include "records/DataFiles.h"
#include "records/HotkeyKind.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The settings record, kept whole in config.json in the data folder.
struct Config
{
    static inline const QString defaultPrompt = QStringLiteral(
        "You are transcribing a voice message. Write technical terms, product names, file paths "
        "and "
        "code identifiers in Latin script. Use normal punctuation and capitalization.");

    QString apiKey;
    QString model = QStringLiteral("gemini-3.7-flash");
    QString transcriptionMode = QStringLiteral("smart");
    QStringList languageCodes;
    QStringList customVocabulary;
    QString prompt = defaultPrompt;
    QString thinkingLevel;
    QString insertMethod = QStringLiteral("paste");
    QString newlineMode = QStringLiteral("shiftReturn");
    // PC keyboards never report fn to X11; held Right Ctrl stands for it.
    HotkeyKind hotkey = HotkeyKind::fn;
    qint64 holdThresholdMs = 300;
    qint64 minRecordingMs = 400;
    // A Wayland desktop gives a tool window the keyboard focus when it appears, so there the
    // floating button starts hidden; set once at start-up, before any settings are read.
    static inline bool hudVisibleByDefault = true;
    bool hudVisible = hudVisibleByDefault;
    std::optional<double> hudX;
    std::optional<double> hudY;
    QString inputDeviceID;
    // The name the chosen microphone had when it was chosen, to name it while it is away.
    QString inputDeviceName;
    bool trimSilence = true;
    double keepSilenceSeconds = 0.25;
    bool sounds = true;
    bool keepAudio = false;
    QString audioFormat = QStringLiteral("wav"); // "wav", "flac" or "ogg"
    // The streaming-only models (the Live API's method without generateContent) of the listing
    // the model was picked from: used live, although their names do not say so.
    QStringList liveModels;
    bool onboardingDone = false;
    // Start with the desktop session (an XDG autostart entry written by the shell).
    bool launchAtLogin = false;
    // On Wayland, read the hold key from /dev/input (the user must be in the input group).
    bool readInputDevices = false;
    // A dictation that follows the app's own insertion into the same window within a minute
    // starts with a space, so that sentences do not run together.
    bool spaceBetweenDictations = true;

    bool operator==(const Config &) const = default;

    // apiKey when set (blanks count as set), else GEMINI_API_KEY, else empty.
    QString resolvedApiKey() const;

    // Writes the whole record to fileURL(), owner-only; an existing file that does not decode is
    // set aside first rather than overwritten. A failed write leaves the old file as it was.
    DataFiles::WriteResult save() const;
    DataFiles::WriteResult saveTo(const QString &path) const;

    // The record after a save that found the file changed by someone else since `base` was read
    // or written: each key `ours` changed keeps our value, every other key takes the file's.
    static Config merged(const Config &base, const Config &onDisk, const Config &ours);
    // The keys whose values differ, for the log.
    static QStringList differingKeys(const Config &a, const Config &b);

    // Forgiving decoder: each key that is missing, null or of the wrong type keeps its default.
    // Returns nothing only when the bytes are not a JSON object; `why` then says where.
    static std::optional<Config> decode(const QByteArray &json, QString *why = nullptr);
    QByteArray encode() const;

    // Larger files are not read: no settings file comes near it, and /dev/zero never ends.
    static constexpr qint64 maxFileBytes = 4 * 1024 * 1024;

    // The defaults are written when there is no file. A file that is there but cannot be used
    // gives the defaults for the run and leaves `problem` saying which file and why.
    // `stamp` gets the file's as read or written, when there is one.
    static Config load(QString *problem = nullptr,
                       std::optional<DataFiles::Stamp> *stamp = nullptr);
    static Config loadFrom(const QString &path, QString *problem = nullptr,
                           std::optional<DataFiles::Stamp> *stamp = nullptr);

    // Locations, computed once per process on first use.
    static QString directory();
    static QString fileURL();
    static QString legacyDirectory();
    // The rule behind directory(): VESK_DATA_DIR when set and not empty, else the generic data
    // location + "Vesk Voice".
    static QString directoryFor(const QByteArray &envValue, const QString &genericDataLocation);

    static void migrateLegacyFiles(const QString &from, const QString &to);
};
