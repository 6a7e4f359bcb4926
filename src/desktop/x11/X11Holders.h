#pragma once

// Holders for what Xlib hands out to be freed: each frees its resource once, on every way out.
// Included by the X11 sources only; Xlib's names stay out of headers that sit beside Qt's.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <memory>

namespace X11 {

struct Free
{
    void operator()(void *data) const
    {
        if (data)
            XFree(data);
    }
};
// Memory Xlib allocated for an answer: a property's data, a keyboard map, a name, a list.
template <typename T> using Held = std::unique_ptr<T, Free>;

struct FreeKeyboard
{
    void operator()(XkbDescPtr keyboard) const { XkbFreeKeyboard(keyboard, 0, True); }
};
using KeyboardDesc = std::unique_ptr<XkbDescRec, FreeKeyboard>;

struct FreeModifierMap
{
    void operator()(XModifierKeymap *map) const { XFreeModifiermap(map); }
};
using ModifierMap = std::unique_ptr<XModifierKeymap, FreeModifierMap>;

struct FreeDeviceInfo
{
    void operator()(XIDeviceInfo *devices) const { XIFreeDeviceInfo(devices); }
};
using DeviceInfo = std::unique_ptr<XIDeviceInfo, FreeDeviceInfo>;

// A generic event's data (an XInput2 event's), fetched while this lives.
class EventData
{
public:
    EventData(Display *display, XGenericEventCookie *cookie)
        : m_display(display), m_cookie(XGetEventData(display, cookie) ? cookie : nullptr)
    {}
    ~EventData()
    {
        if (m_cookie)
            XFreeEventData(m_display, m_cookie);
    }
    EventData(const EventData &) = delete;
    EventData &operator=(const EventData &) = delete;
    explicit operator bool() const { return m_cookie != nullptr; }

private:
    Display *m_display;
    XGenericEventCookie *m_cookie;
};

// A window's WM_CLASS, read while this lives.
class ClassHint
{
public:
    ClassHint(Display *display, Window window) : m_read(XGetClassHint(display, window, &m_hint)) {}
    ~ClassHint()
    {
        if (m_read) {
            XFree(m_hint.res_name);
            XFree(m_hint.res_class);
        }
    }
    ClassHint(const ClassHint &) = delete;
    ClassHint &operator=(const ClassHint &) = delete;
    explicit operator bool() const { return m_read; }
    const char *name() const { return m_hint.res_name; }
    const char *className() const { return m_hint.res_class; }

private:
    XClassHint m_hint{};
    bool m_read;
};

} // namespace X11
