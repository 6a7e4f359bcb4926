#include "desktop/x11/X11ClipboardReader.h"

#include "desktop/x11/X11SelectionWatch.h"
#include "desktop/x11/X11Support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>
#include <algorithm>
#include <poll.h>

#include "desktop/x11/X11Holders.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// Selection targets that are requests or metadata, not contents; and the text forms that
// UTF8_STRING already carries.
const QStringList notContents = {
    QStringLiteral("TARGETS"), QStringLiteral("MULTIPLE"), QStringLiteral("TIMESTAMP"),
    QStringLiteral("SAVE_TARGETS"), QStringLiteral("DELETE"), QStringLiteral("INSERT_PROPERTY"),
    QStringLiteral("INSERT_SELECTION"), QStringLiteral("STRING"), QStringLiteral("TEXT"),
    QStringLiteral("COMPOUND_TEXT"), QStringLiteral("text/plain"),
    QStringLiteral("text/plain;charset=utf-8"),
    // Qt derives it from the image formats it lists; those are read instead.
    QStringLiteral("application/x-qt-image")};

// One selection, read through a connection and a window of its own.
class SelectionRead
{
public:
    explicit SelectionRead(Display *display) : m_dpy(display)
    {
        m_window = XCreateSimpleWindow(m_dpy, DefaultRootWindow(m_dpy), 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(m_dpy, m_window, PropertyChangeMask);
        m_incr = XInternAtom(m_dpy, "INCR", False);
    }
    ~SelectionRead() { XDestroyWindow(m_dpy, m_window); }

    // The target's data; false when the owner refuses it or does not answer in time.
    bool convert(Atom selection, Atom target, QByteArray &out, Atom &type)
    {
        // A property per request: a late answer to an abandoned one lands elsewhere.
        const Atom property = XInternAtom(
            m_dpy, qPrintable(QStringLiteral("VESK_SELECTION_%1").arg(++m_requests)), False);
        XConvertSelection(m_dpy, selection, target, property, m_window, CurrentTime);
        XFlush(m_dpy);
        QElapsedTimer clock;
        clock.start();
        XEvent event;
        if (!waitFor(
                clock,
                [&](const XEvent &e) {
                    return e.type == SelectionNotify && e.xselection.requestor == m_window &&
                           e.xselection.target == target;
                },
                event))
            return false;
        if (event.xselection.property == None)
            return false;
        if (!take(property, out, type))
            return false;
        if (type != m_incr)
            return true;
        // Large data comes in pieces, each put in the property after we delete the last.
        out.clear();
        for (;;) {
            clock.restart();
            if (!waitFor(
                    clock,
                    [&](const XEvent &e) {
                        return e.type == PropertyNotify && e.xproperty.window == m_window &&
                               e.xproperty.atom == property &&
                               e.xproperty.state == PropertyNewValue;
                    },
                    event))
                return false;
            QByteArray piece;
            if (!take(property, piece, type))
                return false;
            if (piece.isEmpty())
                return true;
            out += piece;
        }
    }

private:
    template <typename Match> bool waitFor(const QElapsedTimer &clock, Match match, XEvent &event)
    {
        for (;;) {
            while (XPending(m_dpy)) {
                XNextEvent(m_dpy, &event);
                if (match(event))
                    return true;
            }
            const qint64 left = ClipboardReader::perFormatMs - clock.elapsed();
            if (left <= 0)
                return false;
            pollfd p{ConnectionNumber(m_dpy), POLLIN, 0};
            poll(&p, 1, int(left));
        }
    }

    bool take(Atom property, QByteArray &out, Atom &type)
    {
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(m_dpy, m_window, property, 0, 0x1fffffff, True, AnyPropertyType,
                               &type, &format, &count, &after, &data) != Success)
            return false;
        // Xlib hands 32-bit items over as longs.
        const int itemSize = format == 32 ? int(sizeof(long)) : format / 8;
        const X11::Held<unsigned char> held(data);
        out = QByteArray(reinterpret_cast<const char *>(data), qsizetype(count) * itemSize);
        return true;
    }

    Display *m_dpy;
    Window m_window = None;
    Atom m_incr = None;
    int m_requests = 0;
};

QList<ClipboardReader::Format> readSelection(const char *selectionName, QStringList &skipped)
{
    QList<ClipboardReader::Format> formats;
    X11::DisplayPtr display = X11::openDisplay();
    if (!display)
        return formats;
    Display *dpy = display.get();
    const Atom selection = XInternAtom(dpy, selectionName, False);
    if (XGetSelectionOwner(dpy, selection) == None)
        return formats;
    SelectionRead reader(dpy);
    QByteArray targetData;
    Atom type = None;
    if (!reader.convert(selection, XInternAtom(dpy, "TARGETS", False), targetData, type)) {
        skipped.append(QStringLiteral("TARGETS"));
        return formats;
    }
    const auto *targets = reinterpret_cast<const long *>(targetData.constData());
    const qsizetype count = targetData.size() / qsizetype(sizeof(long));
    for (qsizetype i = 0; i < count; ++i) {
        const X11::Held<char> atomName(XGetAtomName(dpy, Atom(targets[i])));
        const QString name = QString::fromLatin1(atomName ? atomName.get() : "");
        const bool wanted = name == QLatin1String("UTF8_STRING") ||
                            (name.contains(QLatin1Char('/')) && !notContents.contains(name));
        if (!wanted ||
            std::any_of(formats.begin(), formats.end(),
                        [&](const ClipboardReader::Format &f) { return f.mimeType == name; }))
            continue;
        QByteArray data;
        if (reader.convert(selection, Atom(targets[i]), data, type))
            formats.append({name, data});
        else
            skipped.append(name);
    }
    return formats;
}

} // namespace

void X11ClipboardReader::read(QClipboard::Mode mode, QObject *context, Done done)
{
    const char *selection = mode == QClipboard::Selection ? "PRIMARY" : "CLIPBOARD";
    QPointer<QObject> target(context);
    QThreadPool::globalInstance()->start([selection, target, done = std::move(done)] {
        QStringList skipped;
        QList<Format> formats = readSelection(selection, skipped);
        deliver(target, done, std::move(formats), skipped);
    });
}

X11ClipboardReader::X11ClipboardReader() : m_watch(X11SelectionWatch::create()) {}

X11ClipboardReader::~X11ClipboardReader() = default;

bool X11ClipboardReader::whenAskedFor(QClipboard::Mode mode, QObject *context,
                                      std::function<void()> done)
{
    // Only while Qt's clipboard holds the transcript: it answers every request itself.
    if (!m_watch || !context)
        return false;
    m_watch->whenAskedFor(mode, context, std::move(done));
    return true;
}
