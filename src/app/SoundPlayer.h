#pragma once

#include <QHash>
#include <QObject>
#include <QSoundEffect>
#include <QString>

// The four short interface sounds, loaded once so that playing one starts at once.
class SoundPlayer : public QObject
{
    Q_OBJECT
public:
    explicit SoundPlayer(QObject *parent = nullptr);
    // An unknown name plays nothing.
    void play(const QString &name);

private:
    QHash<QString, QSoundEffect *> m_effects;
};
