#pragma once

#include "desktop/ClipboardReader.h"

#include <memory>

class X11SelectionWatch;

// Reads the X server's selections on a connection of its own, off the interface's thread; Qt's
// clipboard (on xcb) owns them.
class X11ClipboardReader : public ClipboardReader
{
public:
    X11ClipboardReader();
    ~X11ClipboardReader() override;
    void read(QClipboard::Mode mode, QObject *context, Done done) override;
    bool whenAskedFor(QClipboard::Mode mode, QObject *context, std::function<void()> done) override;

private:
    std::unique_ptr<X11SelectionWatch> m_watch;
};
