#pragma once

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QPointer>
#include <functional>

// Sees, in the X events Qt's clipboard handles, when another program asks for the contents of a
// selection this process owns, or takes the selection over.
class X11SelectionWatch : public QAbstractNativeEventFilter
{
public:
    // Null where Qt is not on xcb.
    static std::unique_ptr<X11SelectionWatch> create();
    ~X11SelectionWatch() override;

    // Calls done (once, queued, unless context is gone) at the next request for the contents of
    // the mode's selection or when it is lost; replaces an earlier call's done.
    void whenAskedFor(QClipboard::Mode mode, QObject *context, std::function<void()> done);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    X11SelectionWatch() = default;
    void tell(int which);

    struct Watch
    {
        QPointer<QObject> context;
        std::function<void()> done;
    };
    // CLIPBOARD and PRIMARY; TARGETS and TIMESTAMP ask what there is, not for it.
    quint32 m_selections[2] = {0, 0};
    quint32 m_targets = 0;
    quint32 m_timestamp = 0;
    Watch m_watches[2];
};
