#include "desktop/NullBackends.h"

#include "records/Log.h"

#include <utility>

bool NullKeyEventSource::install(Handler handler)
{
    Q_UNUSED(handler);
    return false;
}

int NullKeyPoster::postText(QString &text)
{
    text.clear();
    return 0;
}

void NullWindowPinning::pinToAllWorkspaces(QWindow *window)
{
    if (window && !std::exchange(m_told, true))
        Log::write(QStringLiteral("the floating button is not pinned to every workspace: ") +
                   m_reason);
}
