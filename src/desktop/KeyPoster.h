#pragma once

#include <QString>
#include <QStringList>
#include <memory>

// Posts synthetic keys into the focused window of the desktop. Calls are quick and never wait;
// where the target needs time, the poster says how long and the caller comes back later.
class KeyPoster
{
public:
    enum class Key
    {
        returnKey,
        v,
        insert
    };

    virtual ~KeyPoster() = default;

    // Before an insertion posts anything: lets go of the modifier keys the user still holds (and
    // Caps Lock), so that they do not change the posted keys.
    virtual void beginInsertion() = 0;
    // Posts as much of the text as it can now and removes that from its front. When text is
    // left, returns the milliseconds to wait before posting the rest.
    virtual int postText(QString &text) = 0;
    // Presses and releases the key with the modifiers in flags (ModifierFlag values).
    virtual void postKey(Key key, quint64 flags) = 0;
    // How long the target may take to read the last posted key; endInsertion waits that long.
    virtual int settleMs() const = 0;
    // Puts back what the insertion changed (the keyboard map, Caps Lock).
    virtual void endInsertion() = 0;
    // The instance and class names of the focused window (WM_CLASS); empty when unknown.
    virtual QStringList focusedWindowClass() = 0;
};

// The platform's poster, or null when the desktop offers none; the backend is chosen when
// building.
std::unique_ptr<KeyPoster> createKeyPoster();
