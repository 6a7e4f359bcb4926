#pragma once

#include <QHash>
#include <QObject>
#include <QSoundEffect>
#include <QString>

// The four short interface sounds, loaded once so that playing one starts at once. Loading them
// starts the audio output, which an app that plays no sounds never needs: they load when asked
// to (after launch, where sounds are on) or at the first sound.
class SoundPlayer : public QObject
{
    Q_OBJECT
public:
    explicit SoundPlayer(QObject *parent = nullptr);
    void load();
    // An unknown name plays nothing.
    void play(const QString &name);

private:
    QHash<QString, QSoundEffect *> m_effects;
};
