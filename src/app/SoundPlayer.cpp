#include "SoundPlayer.h"

#include "Resources.h"

SoundPlayer::SoundPlayer(QObject *parent) : QObject(parent)
{
    for (const QString &name : Resources::soundNames()) {
        auto *effect = new QSoundEffect(this);
        effect->setSource(Resources::soundUrl(name));
        effect->setVolume(0.6f);
        m_effects.insert(name, effect);
    }
}

void SoundPlayer::play(const QString &name)
{
    if (QSoundEffect *effect = m_effects.value(name))
        effect->play();
}
