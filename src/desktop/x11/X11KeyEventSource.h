#pragma once

#include "desktop/KeyEventSource.h"
#include "desktop/KeyTranslator.h"
#include "desktop/x11/X11Support.h"

#include <QSet>
#include <QSocketNotifier>
#include <memory>

// The whole desktop's keys and clicks: XInput2 raw events on the root window, read on a
// connection of our own whenever its socket has data.
class X11KeyEventSource : public KeyEventSource
{
public:
    X11KeyEventSource();
    ~X11KeyEventSource() override;
    bool install(Handler handler) override;

private:
    void drain();
    void handleCookie(int evtype, int detail, int sourceId);
    // The window that the key poster's brackets of its own input reach (see X11::OwnInput).
    void watchOwnInput();
    KeyTranslator::Role roleOfKeycode(int keycode);
    void findTestDevices();
    void seedHeldKeys();

    X11::DisplayPtr m_display;
    int m_xiOpcode = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    KeyTranslator m_translator;
    QSet<int> m_testDevices;
    unsigned long m_markWindow = 0;
    unsigned long m_markType = 0;
    // How many of our own batches of posted keys are open, as the server's order tells.
    int m_ownBatches = 0;
    Handler m_handler;
    // Cleared when the source dies, so a drain that a handler ended by destroying it stops.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
