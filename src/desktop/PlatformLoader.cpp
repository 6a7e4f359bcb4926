#include "desktop/PlatformLoader.h"

#include "desktop/LocalKeyEventSource.h"
#include "desktop/NativeBackends.h"
#include "desktop/NullBackends.h"
#include "desktop/wayland/PortalClipboard.h"
#include "desktop/wayland/PortalKeyEventSource.h"
#include "desktop/wayland/PortalKeyPoster.h"
#include "desktop/wayland/PortalShortcuts.h"
#include "records/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <initializer_list>
#include <optional>
#include <utility>
#include <xcb/xcb.h>

namespace {

QString noVirtualKeyboard()
{
    return QCoreApplication::translate(
        "Accessibility",
        "This Wayland desktop offers no virtual keyboard, so text cannot be inserted into "
        "its windows.");
}

QString noXServer(DesktopSession::Kind kind)
{
    if (kind == DesktopSession::Kind::wayland)
        return QCoreApplication::translate(
            "Accessibility",
            "This Wayland session offers no X11 input: the hold-to-talk key and text "
            "insertion need an X11 session (or XWayland).");
    return QCoreApplication::translate(
        "Accessibility",
        "No X server: the hold-to-talk key and text insertion need an X11 session.");
}

QString turnedOff(const QString &variable)
{
    return QCoreApplication::translate("Accessibility", "Turned off by %1=none.").arg(variable);
}

// The backend an override variable names, if it names one of `names`.
template <typename Backend>
std::optional<Backend> named(const QString &forced,
                             std::initializer_list<std::pair<const char *, Backend>> names)
{
    for (const auto &[name, backend] : names) {
        if (forced == QLatin1String(name))
            return backend;
    }
    return std::nullopt;
}

} // namespace

HoldKeyPath::Path PlatformLoader::chooseKeySource(DesktopSession::Kind kind, const QString &forced,
                                                  const Offers &offers, bool readInputDevices)
{
    using Path = HoldKeyPath::Path;
    if (const auto path = named<Path>(forced, {{"x11", Path::x11},
                                               {"portal", Path::portal},
                                               {"evdev", Path::inputDevices},
                                               {"none", Path::compositorBindings}}))
        return *path;
    return HoldKeyPath::choose(kind, offers.shortcutsPortal, readInputDevices);
}

PlatformLoader::Poster PlatformLoader::choosePoster(DesktopSession::Kind kind,
                                                    const QString &forced, const Offers &offers)
{
    if (const auto poster = named<Poster>(forced, {{"x11", Poster::x11},
                                                   {"wayland", Poster::wayland},
                                                   {"portal", Poster::portal},
                                                   {"none", Poster::none}}))
        return *poster;
    switch (kind) {
    case DesktopSession::Kind::wayland:
        if (offers.virtualKeyboard)
            return Poster::wayland;
        // KDE and GNOME: the desktop's remote-control portal.
        if (offers.remoteDesktopPortal)
            return Poster::portal;
        // XWayland's XTEST still reaches the session's X11 windows.
        return Poster::x11;
    case DesktopSession::Kind::x11:
        return Poster::x11;
    case DesktopSession::Kind::none:
        break;
    }
    return Poster::none;
}

PlatformLoader::Clipboard PlatformLoader::chooseClipboard(DesktopSession::Kind kind,
                                                          const QString &forced,
                                                          const Offers &offers)
{
    if (const auto clipboard = named<Clipboard>(
            forced,
            {{"x11", Clipboard::x11}, {"wayland", Clipboard::wayland}, {"qt", Clipboard::qt}}))
        return *clipboard;
    // Qt's clipboard reaches other Wayland clients only from a focused window.
    if (kind == DesktopSession::Kind::wayland && offers.dataControl)
        return Clipboard::wayland;
    // Where Qt's clipboard is the X server's, it is read on a connection of our own.
    if (offers.qtOnXcb)
        return Clipboard::x11;
    return Clipboard::qt;
}

PlatformLoader::Pinning PlatformLoader::choosePinning(const QString &forced, const Offers &offers)
{
    if (const auto pinning =
            named<Pinning>(forced, {{"x11", Pinning::x11}, {"none", Pinning::none}}))
        return *pinning;
    return offers.qtOnXcb ? Pinning::x11 : Pinning::none;
}

PlatformLoader::Trust PlatformLoader::chooseTrust(DesktopSession::Kind kind, const QString &forced,
                                                  const Offers &offers)
{
    if (const auto trust = named<Trust>(forced, {{"x11", Trust::x11},
                                                 {"wayland", Trust::wayland},
                                                 {"portal", Trust::portal},
                                                 {"none", Trust::none}}))
        return *trust;
    switch (kind) {
    case DesktopSession::Kind::wayland:
        if (offers.virtualKeyboard)
            return Trust::wayland;
        if (offers.remoteDesktopPortal)
            return Trust::portal;
        // A compositor that offers neither: typing would reach only XWayland's windows, which is
        // no trust to speak of. Without a compositor to ask, XWayland is all there is.
        return offers.compositor ? Trust::wayland : Trust::x11;
    case DesktopSession::Kind::x11:
        return Trust::x11;
    case DesktopSession::Kind::none:
        break;
    }
    return Trust::none;
}

PlatformLoader::PlatformLoader(DesktopSession::Info session, QProcessEnvironment environment,
                               QObject *parent)
    : QObject(parent), m_session(std::move(session)), m_environment(std::move(environment))
{}

PlatformLoader::~PlatformLoader() = default;

void PlatformLoader::sendWindowRequests()
{
    if (auto *x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        xcb_flush(x11->connection());
}

std::unique_ptr<PlatformLoader> PlatformLoader::load()
{
    return std::make_unique<PlatformLoader>(DesktopSession::current(),
                                            QProcessEnvironment::systemEnvironment());
}

QString PlatformLoader::forced(const QString &variable) const
{
    return m_environment.value(variable).trimmed().toLower();
}

PlatformLoader::Offers PlatformLoader::probe(bool remoteDesktop, bool shortcuts)
{
    Offers offers;
    offers.qtOnXcb = QGuiApplication::platformName() == QLatin1String("xcb");
    if (!isWayland())
        return offers;
    if (const auto compositor = NativeBackends::get().waylandCompositor()) {
        offers.compositor = true;
        offers.virtualKeyboard = compositor->virtualKeyboard;
        offers.dataControl = compositor->dataControl;
    }
    // The bus is asked only where the answer matters.
    if (remoteDesktop && !offers.virtualKeyboard)
        offers.remoteDesktopPortal = PortalKeyPoster::isOffered(QDBusConnection::sessionBus());
    // A portal that keeps no shortcut is as good as none.
    if (shortcuts)
        offers.shortcutsPortal =
            portalShortcuts()->isAvailable() && !portalShortcuts()->keptNothing();
    return offers;
}

PortalShortcuts *PlatformLoader::portalShortcuts()
{
    if (!m_portalShortcuts) {
        m_portalShortcuts = std::make_unique<PortalShortcuts>(QDBusConnection::sessionBus());
        // The desktop answers later (and may ask the user for a key first).
        connect(m_portalShortcuts.get(), &PortalShortcuts::changed, this,
                &PlatformLoader::holdKeyChanged);
    }
    return m_portalShortcuts.get();
}

HoldKeyPath::Path PlatformLoader::holdKeyPath(bool readInputDevices)
{
    const QString wanted = forced(keySourceVariable);
    // The portal is asked for only where it would be taken.
    const bool askPortal = wanted.isEmpty() && isWayland();
    return chooseKeySource(m_session.kind, wanted, probe(false, askPortal), readInputDevices);
}

std::unique_ptr<KeyEventSource> PlatformLoader::keyEventSource(KeyEventSource::Scope scope,
                                                               bool readInputDevices)
{
    if (scope == KeyEventSource::Scope::local)
        return std::make_unique<LocalKeyEventSource>();
    switch (holdKeyPath(readInputDevices)) {
    case HoldKeyPath::Path::x11:
        return NativeBackends::get().x11KeyEventSource();
    case HoldKeyPath::Path::portal:
        return std::make_unique<PortalKeyEventSource>(portalShortcuts());
    case HoldKeyPath::Path::inputDevices:
        return NativeBackends::get().inputDeviceKeyEventSource();
    case HoldKeyPath::Path::compositorBindings:
        break;
    }
    return std::make_unique<NullKeyEventSource>(
        QStringLiteral("no global key source here: the hold key comes from the desktop's key "
                       "bindings, through the control commands"));
}

HoldKeyAdvice PlatformLoader::holdKeyAdvice(bool readInputDevices)
{
    if (!isWayland())
        return {};
    const HoldKeyPath::Path path = holdKeyPath(readInputDevices);
    HoldKeyPath::Facts facts;
    facts.desktop = m_session.desktop;
    if (path == HoldKeyPath::Path::portal) {
        const PortalShortcuts *portal = portalShortcuts();
        facts.portal = portal->state();
        facts.trigger = portal->trigger();
        facts.portalProblem = portal->problem();
    }
    if (path != HoldKeyPath::Path::portal && m_portalShortcuts && m_portalShortcuts->keptNothing())
        facts.portalProblem = m_portalShortcuts->problem();
    if (path == HoldKeyPath::Path::inputDevices)
        facts.devices = NativeBackends::get().inputDeviceAccess();
    return HoldKeyPath::advice(path, facts);
}

std::unique_ptr<KeyPoster> PlatformLoader::keyPoster()
{
    const QString wanted = forced(keyPosterVariable);
    const Offers offers = probe(wanted.isEmpty(), false);
    switch (choosePoster(m_session.kind, wanted, offers)) {
    case Poster::wayland:
        if (auto poster = NativeBackends::get().waylandKeyPoster())
            return poster;
        return std::make_unique<NullKeyPoster>(noVirtualKeyboard());
    case Poster::portal: {
        auto poster =
            std::make_unique<PortalKeyPoster>(QDBusConnection::sessionBus(), offers.dataControl);
        m_portalPoster = poster.get();
        // Asked for its permission now, so that the first dictation need not wait for the
        // user's answer.
        poster->open();
        return poster;
    }
    case Poster::x11:
        if (isWayland())
            Log::write(QStringLiteral("typing reaches only X11 windows of this Wayland session"));
        if (auto poster = NativeBackends::get().x11KeyPoster())
            return poster;
        return std::make_unique<NullKeyPoster>(noXServer(m_session.kind));
    case Poster::none:
        break;
    }
    return std::make_unique<NullKeyPoster>(
        wanted == QLatin1String("none") ? turnedOff(keyPosterVariable) : noXServer(m_session.kind));
}

std::unique_ptr<ClipboardReader> PlatformLoader::clipboard()
{
    const QString wanted = forced(clipboardVariable);
    const Offers offers = probe(false, false);
    // Without data control the clipboard goes through the portal session that posts the keys
    // (where the desktop's portal has a clipboard; it says so when the session starts).
    if (wanted.isEmpty() && isWayland() && !offers.dataControl && m_portalPoster)
        return std::make_unique<PortalClipboard>(m_portalPoster);
    switch (chooseClipboard(m_session.kind, wanted, offers)) {
    case Clipboard::wayland:
        if (auto clipboard = NativeBackends::get().waylandClipboard())
            return clipboard;
        break;
    case Clipboard::x11:
        return NativeBackends::get().x11Clipboard();
    case Clipboard::qt:
        break;
    }
    return std::make_unique<QtClipboardReader>();
}

std::unique_ptr<ActiveWindow> PlatformLoader::activeWindow()
{
    if (!probe(false, false).qtOnXcb)
        return nullptr;
    return NativeBackends::get().x11ActiveWindow();
}

WindowPinning &PlatformLoader::windowPinning()
{
    if (!m_pinning) {
        const QString wanted = forced(pinningVariable);
        if (choosePinning(wanted, probe(false, false)) == Pinning::x11)
            m_pinning = NativeBackends::get().x11WindowPinning();
        else
            m_pinning = std::make_unique<NullWindowPinning>(
                wanted == QLatin1String("none")
                    ? turnedOff(pinningVariable)
                    : QStringLiteral("this display server places windows itself"));
    }
    return *m_pinning;
}

Accessibility::Trust PlatformLoader::trust()
{
    const QString wanted = forced(trustVariable);
    const Offers offers = probe(true, false);
    switch (chooseTrust(m_session.kind, wanted, offers)) {
    case Trust::x11: {
        Accessibility::Trust trust = NativeBackends::get().x11Trust();
        if (!trust.trusted && isWayland() && trust.reason == noXServer(DesktopSession::Kind::x11))
            trust.reason = noXServer(m_session.kind);
        return trust;
    }
    case Trust::wayland:
        if (offers.virtualKeyboard)
            return {true, QString()};
        return {false, noVirtualKeyboard()};
    case Trust::portal:
        // The portal asks the user itself.
        if (offers.remoteDesktopPortal || PortalKeyPoster::isOffered(QDBusConnection::sessionBus()))
            return {true, QString()};
        return {false, noVirtualKeyboard()};
    case Trust::none:
        break;
    }
    return {false,
            wanted == QLatin1String("none") ? turnedOff(trustVariable) : noXServer(m_session.kind)};
}
