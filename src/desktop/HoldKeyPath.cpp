#include "desktop/HoldKeyPath.h"

#include <QCoreApplication>

namespace HoldKeyPath {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("HoldKeyPath", text);
}

} // namespace

Path choose(DesktopSession::Kind kind, bool portalAvailable, bool readInputDevices)
{
    if (kind != DesktopSession::Kind::wayland)
        return Path::x11;
    if (portalAvailable)
        return Path::portal;
    if (readInputDevices)
        return Path::inputDevices;
    return Path::compositorBindings;
}

QStringList bindingLines(DesktopSession::Desktop desktop)
{
    switch (desktop) {
    case DesktopSession::Desktop::sway:
        return {QStringLiteral("bindsym --no-repeat Control_R exec vesk-voice start"),
                QStringLiteral("bindsym --release Control_R exec vesk-voice stop")};
    case DesktopSession::Desktop::hyprland:
        // Right Ctrl is itself a Control modifier when it goes up.
        return {QStringLiteral("bind = , Control_R, exec, vesk-voice start"),
                QStringLiteral("bindr = CTRL, Control_R, exec, vesk-voice stop")};
    default:
        return {};
    }
}

HoldKeyAdvice advice(Path path, const Facts &facts)
{
    HoldKeyAdvice a;
    switch (path) {
    case Path::x11:
        a.ready = true;
        break;
    case Path::portal:
        switch (facts.portal) {
        case PortalShortcuts::State::idle:
        case PortalShortcuts::State::binding:
            a.summary = tr("Hold-to-talk key: your desktop's shortcut, being set up.");
            a.action = tr("If your desktop asks which key to use, choose one and confirm.");
            break;
        case PortalShortcuts::State::bound:
            if (facts.trigger.isEmpty()) {
                a.summary = tr("Hold-to-talk key: your desktop's shortcut, which has no key yet.");
                a.action = tr("Give \"Hold to talk (Vesk Voice)\" a key in your desktop's "
                              "keyboard shortcut settings.");
            } else {
                a.summary = tr("Hold-to-talk key: %1, set in your desktop's keyboard shortcuts.")
                                .arg(facts.trigger);
                a.action = tr("Change it there under \"Hold to talk (Vesk Voice)\".");
                a.ready = true;
                a.key = facts.trigger;
            }
            break;
        case PortalShortcuts::State::failed:
            a.summary = tr("Hold-to-talk key: your desktop's shortcut is not set up.");
            a.action = facts.portalProblem;
            break;
        }
        break;
    case Path::inputDevices:
        a.offerInputDevices = true;
        if (facts.devices.keyboards > 0) {
            a.summary = tr("Hold-to-talk key: read from the keyboard itself.");
            a.ready = true;
        } else {
            a.summary = tr("Hold-to-talk key: the keyboard cannot be read.");
            a.action = facts.devices.problem;
        }
        break;
    case Path::compositorBindings:
        a.offerInputDevices = true;
        a.lines = bindingLines(facts.desktop);
        a.summary = tr("Hold-to-talk key: your desktop's key bindings.");
        if (facts.desktop == DesktopSession::Desktop::sway)
            a.action = tr("Add these lines to your sway configuration and reload it:");
        else if (facts.desktop == DesktopSession::Desktop::hyprland)
            a.action = tr("Add these lines to your Hyprland configuration:");
        else
            a.action = tr("Give the command vesk-voice toggle a keyboard shortcut in your "
                          "desktop's settings: one press starts a dictation, the next sends it. "
                          "Or let Vesk Voice read the keyboard (needs the input group).");
        break;
    }
    // The desktop's shortcut was tried and is not there: the way in use now says why.
    if (path != Path::portal && !facts.portalProblem.isEmpty())
        a.summary = facts.portalProblem + u' ' + a.summary;
    return a;
}

} // namespace HoldKeyPath
