#pragma once

#include "desktop/ClipboardReader.h"

// Reads the X server's selections on a connection of its own, off the interface's thread; Qt's
// clipboard (on xcb) owns them.
class X11ClipboardReader : public ClipboardReader
{
public:
    void read(QClipboard::Mode mode, QObject *context, Done done) override;
};
