#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Posts synthetic keys into the focused window of the desktop. Calls are quick and never wait
// long; where the target needs time, the poster says how long and the caller comes back later.
// Which backend posts is chosen at run time, by the platform loader.
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

    // Before an insertion posts anything: takes every character it will type (none for a paste),
    // so that the keyboard map is made ready for all of them at once, and neutralises what would
    // change the posted keys: modifiers the user still holds, Caps Lock and other locks.
    virtual void beginInsertion(const QString &text) = 0;
    // Posts as much of the text as it can now and removes that from its front. When text is
    // left, returns the milliseconds to wait before posting the rest (the target has not yet
    // read keys whose key codes the rest needs).
    virtual int postText(QString &text) = 0;
    // Presses and releases the key with the modifiers in flags (ModifierFlag values).
    virtual void postKey(Key key, quint64 flags) = 0;
    // Puts back the locks; the keyboard map goes back once the target has read its keys.
    virtual void endInsertion() = 0;
    // The instance and class names of the focused window (WM_CLASS); empty when unknown.
    virtual QStringList focusedWindowClass() = 0;
    // Asked before each insertion: empty when keys can be posted now, else why not, for the
    // user. A poster that needs the desktop's permission asks for it again from here.
    virtual QString unavailableReason() { return QString(); }
    // Where the desktop is still deciding whether keys may be posted (it may be asking the
    // user): calls `ready` once it has answered, either way, and returns true. False, without
    // calling it, when there is nothing to wait for.
    virtual bool whenReady(std::function<void()> /*ready*/) { return false; }
    // Whether a paste can work: the clipboard can be set for the focused window.
    virtual bool canPaste() const { return true; }
    // Where posted keys reach the desktop later, calls `done` once all posted so far have (and
    // returns true); false, without calling it, when they are all there already.
    virtual bool whenDelivered(std::function<void()> /*done*/) { return false; }
    // Whether every client takes a typed character past U+FFFF whole; where some cut it to 16
    // bits (Chromium on Wayland), such characters are pasted instead.
    virtual bool typesBeyondBmp() const { return true; }
};
