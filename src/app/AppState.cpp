#include "AppState.h"

AppState::AppState(QObject *parent) : QObject(parent)
{
    m_config = Config::load(&m_configProblem);
    m_history = History::load(&m_historyProblem);
    m_hotkeyInEffect = m_config.hotkey;
}

AppState::AppState(const Config &config, const History &history, QObject *parent)
    : QObject(parent), m_config(config), m_hotkeyInEffect(config.hotkey), m_history(history)
{}

void AppState::setPhase(Phase phase)
{
    update(m_phase, phase, [&] { Q_EMIT phaseChanged(phase); });
}

void AppState::setLevel(double level)
{
    update(m_level, level, [&] { Q_EMIT levelChanged(level); });
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
