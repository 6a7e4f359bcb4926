#include "state/AppState.h"

#include "records/Log.h"

#include <QFileInfo>

AppState::AppState(QObject *parent) : QObject(parent)
{
    m_config = Config::load(&m_configProblem, &m_configFile.stamp);
    m_history = History::load(&m_historyProblem, &m_historyFile.stamp);
    m_configFile.path = Config::fileURL();
    m_configFile.base = m_config;
    m_historyFile.path = History::fileURL();
    m_historyFile.base = m_history;
    m_hotkeyInEffect = m_config.hotkey;
}

AppState::AppState(const Config &config, const History &history, QObject *parent)
    : QObject(parent), m_config(config), m_hotkeyInEffect(config.hotkey), m_history(history)
{
    // What the files hold now counts as seen: only a later change is someone else's edit.
    m_configFile = {Config::fileURL(), config, DataFiles::stampOf(Config::fileURL()), {}};
    m_historyFile = {History::fileURL(), history, DataFiles::stampOf(History::fileURL()), {}};
}

template <typename Record>
bool AppState::store(File<Record> &file, const Record &live, void (AppState::*set)(const Record &))
{
    Record record = live;
    const QString name = QFileInfo(file.path).fileName();
    if (DataFiles::stampOf(file.path) != file.stamp) {
        const DataFiles::ReadResult read =
            DataFiles::readRegularFile(file.path, Record::maxFileBytes);
        const std::optional<Record> onDisk = read.status == DataFiles::ReadResult::Status::ok
                                                 ? Record::decode(read.bytes)
                                                 : std::nullopt;
        // What does not decode is set aside by the save itself.
        if (onDisk && *onDisk != file.base) {
            record = Record::merged(file.base, *onDisk, live);
            Log::write(name + QStringLiteral(" was changed outside Vesk Voice while it ran; those "
                                             "changes are kept"));
        }
    }
    const DataFiles::WriteResult written = record.saveTo(file.path);
    if (!written) {
        if (file.saveError != written.error) {
            Log::write(QStringLiteral("could not save %1 (%2); the file is left as it was and the "
                                      "next change tries again")
                           .arg(file.path, written.error));
            file.saveError = written.error;
            Q_EMIT saveProblemsChanged();
            Q_EMIT changed();
        }
        return false;
    }
    file.base = record;
    file.stamp = written.stamp;
    if (!file.saveError.isEmpty()) {
        Log::write(QStringLiteral("saved %1 again").arg(file.path));
        file.saveError.clear();
        Q_EMIT saveProblemsChanged();
        Q_EMIT changed();
    }
    (this->*set)(record);
    return true;
}

bool AppState::saveConfig()
{
    return store(m_configFile, m_config, &AppState::setConfig);
}

bool AppState::saveHistory()
{
    return store(m_historyFile, m_history, &AppState::setHistory);
}

void AppState::retryFailedSaves()
{
    if (!m_configFile.saveError.isEmpty())
        saveConfig();
    if (!m_historyFile.saveError.isEmpty())
        saveHistory();
}

QStringList AppState::saveProblems() const
{
    QStringList problems;
    if (!m_configFile.saveError.isEmpty())
        problems.append(tr("The settings could not be saved (%1). The next change tries again.")
                            .arg(m_configFile.saveError));
    if (!m_historyFile.saveError.isEmpty())
        problems.append(tr("The history could not be saved (%1). The next change tries again.")
                            .arg(m_historyFile.saveError));
    return problems;
}

void AppState::setPhase(Phase phase)
{
    update(m_phase, phase, [&] { Q_EMIT phaseChanged(phase); });
}

void AppState::setLevel(double level)
{
    update(m_level, level, [&] { Q_EMIT levelChanged(level); });
}

void AppState::setInterimText(const QString &text)
{
    update(m_interimText, text, [&] { Q_EMIT interimTextChanged(text); });
}

void AppState::setMessage(const QString &message)
{
    update(m_message, message, [&] { Q_EMIT messageChanged(message); });
}

void AppState::setAccessibilityGranted(bool granted)
{
    update(m_accessibilityGranted, granted, [&] { Q_EMIT accessibilityGrantedChanged(granted); });
}

void AppState::setHoldKeyAdvice(const HoldKeyAdvice &advice)
{
    update(m_holdKeyAdvice, advice, [&] { Q_EMIT holdKeyAdviceChanged(); });
}

void AppState::setTrayAvailable(bool available)
{
    update(m_trayAvailable, available, [&] { Q_EMIT trayAvailableChanged(available); });
}

void AppState::setPasteAvailable(bool available)
{
    update(m_pasteAvailable, available, [&] { Q_EMIT pasteAvailableChanged(available); });
}

void AppState::setConfig(const Config &config)
{
    update(m_config, config, [&] {
        m_configProblem.clear();
        Q_EMIT configChanged();
    });
}

void AppState::setHotkeyInEffect(HotkeyKind kind)
{
    update(m_hotkeyInEffect, kind, [&] { Q_EMIT hotkeyInEffectChanged(); });
}

QStringList AppState::readProblems() const
{
    QStringList problems;
    for (const QString &p : {m_configProblem, m_historyProblem}) {
        if (!p.isEmpty())
            problems.append(p);
    }
    return problems;
}

void AppState::setHistory(const History &history)
{
    update(m_history, history, [&] {
        m_historyProblem.clear();
        Q_EMIT historyChanged();
    });
}

void AppState::setSource(const QString &source)
{
    update(m_source, source, [&] { Q_EMIT sourceChanged(); });
}

QString AppState::lastTranscript() const
{
    return m_history.entries.isEmpty() ? QString() : m_history.entries.first().text;
}
