#include "AppState.h"

AppState::AppState(QObject *parent) : AppState(Config::load(), History::load(), parent) {}

AppState::AppState(const Config &config, const History &history, QObject *parent)
    : QObject(parent), m_config(config), m_history(history)
{}

void AppState::setPhase(Phase phase)
{
    if (m_phase == phase)
        return;
    m_phase = phase;
    Q_EMIT phaseChanged(phase);
    Q_EMIT changed();
}

void AppState::setLevel(double level)
{
    if (m_level == level)
        return;
    m_level = level;
    Q_EMIT levelChanged(level);
    Q_EMIT changed();
}

void AppState::setMessage(const QString &message)
{
    if (m_message == message)
        return;
    m_message = message;
    Q_EMIT messageChanged(message);
    Q_EMIT changed();
}

void AppState::setAccessibilityGranted(bool granted)
{
    if (m_accessibilityGranted == granted)
        return;
    m_accessibilityGranted = granted;
    Q_EMIT accessibilityGrantedChanged(granted);
    Q_EMIT changed();
}

void AppState::setConfig(const Config &config)
{
    if (m_config == config)
        return;
    m_config = config;
    Q_EMIT configChanged();
    Q_EMIT changed();
}

void AppState::setHistory(const History &history)
{
    if (m_history == history)
        return;
    m_history = history;
    Q_EMIT historyChanged();
    Q_EMIT changed();
}

void AppState::setSource(const QString &source)
{
    if (m_source == source)
        return;
    m_source = source;
    Q_EMIT sourceChanged();
    Q_EMIT changed();
}

QString AppState::lastTranscript() const
{
    return m_history.entries.isEmpty() ? QString() : m_history.entries.first().text;
}
