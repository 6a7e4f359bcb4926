#pragma once

#include "desktop/Accessibility.h"
#include "desktop/ActiveWindow.h"
#include "desktop/ClipboardReader.h"
#include "desktop/DesktopSession.h"
#include "records/HoldKeyAdvice.h"
#include "desktop/HoldKeyPath.h"
#include "desktop/KeyEventSource.h"
#include "desktop/KeyPoster.h"
#include "desktop/WindowPinning.h"

#include <QObject>
#include <QPointer>
#include <QProcessEnvironment>
#include <QString>
#include <memory>

class PortalKeyPoster;
class PortalShortcuts;

// Every desktop backend of this process (key source, key poster, clipboard reader and owner,
// window pinning, trust) is chosen here and nowhere else, from the session and from what the
// display server offers. Each kind has an override variable naming one of its backends, for
// tests and for users whose desktop is guessed wrong; a backend that cannot act is a Null one
// that says why. Backends are made anew on each request; the portal session for the hold key is
// one per loader.
class PlatformLoader : public QObject
{
    Q_OBJECT

public:
    enum class Poster
    {
        x11,
        wayland,
        portal,
        none
    };
    enum class Clipboard
    {
        x11,
        wayland,
        qt
    };
    enum class Pinning
    {
        x11,
        none
    };
    enum class Trust
    {
        x11,
        wayland,
        portal,
        none
    };

    // What the display server and the session bus offer, as far as a choice needs to know.
    struct Offers
    {
        // A Wayland compositor answered, with these globals.
        bool compositor = false;
        bool virtualKeyboard = false;
        bool dataControl = false;
        bool remoteDesktopPortal = false;
        bool shortcutsPortal = false;
        // Qt itself talks to an X server (xcb, XWayland included).
        bool qtOnXcb = false;
    };

    // The override variables. Values: x11, portal, evdev, none (the desktop's key bindings);
    // x11, wayland, portal, none; x11, wayland, qt; x11, none; x11, wayland, portal, none.
    static inline const QString keySourceVariable = QStringLiteral("VESK_KEY_SOURCE");
    static inline const QString keyPosterVariable = QStringLiteral("VESK_KEY_POSTER");
    static inline const QString clipboardVariable = QStringLiteral("VESK_CLIPBOARD");
    static inline const QString pinningVariable = QStringLiteral("VESK_WINDOW_PINNING");
    static inline const QString trustVariable = QStringLiteral("VESK_TRUST");

    // The choices themselves, from the session kind, the override's value (empty when unset;
    // an unknown value is ignored) and the offers.
    static HoldKeyPath::Path chooseKeySource(DesktopSession::Kind kind, const QString &forced,
                                             const Offers &offers, bool readInputDevices);
    static Poster choosePoster(DesktopSession::Kind kind, const QString &forced,
                               const Offers &offers);
    static Clipboard chooseClipboard(DesktopSession::Kind kind, const QString &forced,
                                     const Offers &offers);
    static Pinning choosePinning(const QString &forced, const Offers &offers);
    static Trust chooseTrust(DesktopSession::Kind kind, const QString &forced,
                             const Offers &offers);

    PlatformLoader(DesktopSession::Info session, QProcessEnvironment environment,
                   QObject *parent = nullptr);
    ~PlatformLoader() override;
    // This process's session and environment.
    static std::unique_ptr<PlatformLoader> load();
    // Sends what this program's windows have asked of the X server so far, without waiting for
    // the event loop (the tray icon's dock request at launch). Nothing elsewhere.
    static void sendWindowRequests();

    const DesktopSession::Info &session() const { return m_session; }
    bool isWayland() const { return m_session.kind == DesktopSession::Kind::wayland; }

    // A global source follows the hold key's path (which may read the keyboard devices only
    // when the user allowed it); a local one sees this application's own windows.
    std::unique_ptr<KeyEventSource> keyEventSource(KeyEventSource::Scope scope,
                                                   bool readInputDevices);
    HoldKeyPath::Path holdKeyPath(bool readInputDevices);
    // What the settings form and the guide say about that path, as things stand now.
    HoldKeyAdvice holdKeyAdvice(bool readInputDevices);
    std::unique_ptr<KeyPoster> keyPoster();
    // One reader serves both the clipboard and the primary selection. Asked for after
    // keyPoster(), where the poster's portal session may serve the clipboard too.
    std::unique_ptr<ClipboardReader> clipboard();
    // Made once, kept by the loader.
    WindowPinning &windowPinning();
    // Asked afresh each time: cheap enough for a poll every few seconds.
    Accessibility::Trust trust();
    // Which window is in front and the way back to the one before this program's: where this
    // program's windows are X11 ones under a window manager that names the active window;
    // nothing elsewhere (a Wayland compositor tells no client about other windows).
    std::unique_ptr<ActiveWindow> activeWindow();

Q_SIGNALS:
    // The hold key's advice may read differently (the desktop's portal answered).
    void holdKeyChanged();

private:
    QString forced(const QString &variable) const;
    // Asks the compositor (on Wayland) and the portal where `portals` says so.
    Offers probe(bool remoteDesktop, bool shortcuts);
    PortalShortcuts *portalShortcuts();

    DesktopSession::Info m_session;
    QProcessEnvironment m_environment;
    std::unique_ptr<PortalShortcuts> m_portalShortcuts;
    std::unique_ptr<WindowPinning> m_pinning;
    // The last portal poster made, whose session may serve the clipboard.
    QPointer<PortalKeyPoster> m_portalPoster;
};
