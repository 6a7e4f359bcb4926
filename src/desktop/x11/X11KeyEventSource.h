#pragma once

#include "KeyEventSource.h"
#include "KeyTranslator.h"
#include "X11Support.h"

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
    KeyTranslator::Role roleOfKeycode(int keycode);
    void findTestDevices();
    void seedHeldKeys();

    X11::DisplayPtr m_display;
    int m_xiOpcode = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    KeyTranslator m_translator;
    QSet<int> m_testDevices;
    Handler m_handler;
    // Cleared when the source dies, so a drain that a handler ended by destroying it stops.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
