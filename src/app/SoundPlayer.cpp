#include "app/SoundPlayer.h"

#include "Resources.h"

SoundPlayer::SoundPlayer(QObject *parent) : QObject(parent) {}

void SoundPlayer::load()
{
    if (!m_effects.isEmpty())
        return;
    for (const QString &name : Resources::soundNames()) {
        auto *effect = new QSoundEffect(this);
        effect->setSource(Resources::soundUrl(name));
        effect->setVolume(0.6f);
        m_effects.insert(name, effect);
    }
}

void SoundPlayer::play(const QString &name)
{
    load();
    if (QSoundEffect *effect = m_effects.value(name))
        effect->play();
}
