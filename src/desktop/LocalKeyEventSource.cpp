#include "desktop/LocalKeyEventSource.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

LocalKeyEventSource::LocalKeyEventSource() = default;

LocalKeyEventSource::~LocalKeyEventSource()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool LocalKeyEventSource::install(Handler handler)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return false;
    m_handler = std::move(handler);
    app->installEventFilter(this);
    return true;
}

KeyTranslator::Role LocalKeyEventSource::roleFor(int qtKey, quint32 keysym)
{
    // The native keysym tells left from right where the platform gives one.
    if (keysym != 0)
        return KeyTranslator::roleForKeysym(keysym);
    using R = KeyTranslator::Role;
    switch (qtKey) {
    case Qt::Key_Escape:
        return R::escape;
    case Qt::Key_Shift:
        return R::shiftLeft;
    case Qt::Key_Control:
        return R::controlLeft;
    case Qt::Key_Alt:
        return R::altLeft;
    case Qt::Key_AltGr:
        return R::altRight;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
        return R::superLeft;
    case Qt::Key_Super_R:
        return R::superRight;
    default:
        return R::none;
    }
}

bool LocalKeyEventSource::eventFilter(QObject *watched, QEvent *event)
{
    // Each input event reaches the window first and then its widgets: take it once, at the window.
    if (!m_handler || !qobject_cast<QWindow *>(watched))
        return false;
    std::optional<KeyEvent> translated;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->isAutoRepeat())
            break;
        const quint32 id = key->nativeScanCode() ? key->nativeScanCode() : quint32(key->key());
        if (event->type() == QEvent::KeyPress)
            translated = m_translator.press(id, roleFor(key->key(), key->nativeVirtualKey()));
        else
            translated = m_translator.release(id);
        break;
    }
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            translated = KeyTranslator::buttonPress(1);
        else if (mouse->button() == Qt::RightButton)
            translated = KeyTranslator::buttonPress(3);
        break;
    }
    default:
        break;
    }
    // Let the event through unchanged; the handler may destroy this source, so touch nothing after.
    if (translated) {
        const Handler handler = m_handler;
        handler(*translated);
    }
    return false;
}
