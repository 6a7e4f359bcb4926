// The native backends themselves: the module vesk-voice-desktop.so, or linked in.
#include "desktop/NativeBackends.h"

#include "records/ModuleFiles.h"

#include "desktop/wayland/EvdevKeyEventSource.h"
#include "desktop/wayland/WaylandClipboard.h"
#include "desktop/wayland/WaylandKeyPoster.h"
#include "desktop/wayland/WaylandSupport.h"
#include "desktop/x11/X11ActiveWindow.h"
#include "desktop/x11/X11ClipboardReader.h"
#include "desktop/x11/X11KeyEventSource.h"
#include "desktop/x11/X11KeyPoster.h"
#include "desktop/x11/X11WindowPinning.h"

namespace {

class Backends final : public NativeBackends
{
public:
    std::unique_ptr<KeyEventSource> x11KeyEventSource() override
    {
        return std::make_unique<X11KeyEventSource>();
    }
    std::unique_ptr<KeyEventSource> inputDeviceKeyEventSource() override
    {
        return std::make_unique<EvdevKeyEventSource>();
    }
    InputDeviceAccess inputDeviceAccess() override { return EvdevKeyEventSource::check(); }
    std::unique_ptr<KeyPoster> x11KeyPoster() override { return X11KeyPoster::open(); }
    std::unique_ptr<KeyPoster> waylandKeyPoster() override { return WaylandKeyPoster::open(); }
    std::unique_ptr<ClipboardReader> x11Clipboard() override
    {
        return std::make_unique<X11ClipboardReader>();
    }
    std::unique_ptr<ClipboardReader> waylandClipboard() override
    {
        return WaylandClipboard::open();
    }
    std::unique_ptr<ActiveWindow> x11ActiveWindow() override { return X11ActiveWindow::open(); }
    std::unique_ptr<WindowPinning> x11WindowPinning() override
    {
        return std::make_unique<X11WindowPinning>();
    }
    Accessibility::Trust x11Trust() override { return Accessibility::checkX11(); }
    std::optional<Compositor> waylandCompositor() override
    {
        const std::shared_ptr<Wayland::Connection> connection = Wayland::shared();
        if (!connection)
            return std::nullopt;
        return Compositor{connection->virtualKeyboardName != 0, connection->dataControlName != 0};
    }
};

// Runs as the module is loaded (or, linked in, as the program starts).
[[maybe_unused]] const bool provided = NativeBackends::provide(ModuleFiles::build, [] {
    return std::unique_ptr<NativeBackends>(std::make_unique<Backends>());
});

} // namespace
