#pragma once

#include "desktop/KeyEventSource.h"
#include "desktop/KeyTranslator.h"

#include <QObject>

// The events of this application's own windows, read from Qt's event stream: what is left to
// watch when the desktop refuses a global source.
class LocalKeyEventSource : public QObject, public KeyEventSource
{
    Q_OBJECT

public:
    LocalKeyEventSource();
    ~LocalKeyEventSource() override;
    bool install(Handler handler) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static KeyTranslator::Role roleFor(int qtKey, quint32 keysym);

    Handler m_handler;
    KeyTranslator m_translator;
};
