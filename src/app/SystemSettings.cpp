#include "app/SystemSettings.h"

#include "desktop/DesktopSession.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace SystemSettings {

namespace {

struct Candidate
{
    const char *program;
    QStringList arguments;
};

bool startFirst(const QList<Candidate> &candidates)
{
    for (const Candidate &c : candidates) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(c.program));
        if (!path.isEmpty() && QProcess::startDetached(path, c.arguments))
            return true;
    }
    return false;
}

} // namespace

bool open(Pane pane)
{
    const bool kde = DesktopSession::current().desktop == DesktopSession::Desktop::kde;
    switch (pane) {
    case Pane::microphone: {
        const Candidate gnome{"gnome-control-center", {QStringLiteral("sound")}};
        const Candidate plasma{"systemsettings", {QStringLiteral("kcm_pulseaudio")}};
        const Candidate plasma5{"systemsettings5", {QStringLiteral("kcm_pulseaudio")}};
        const Candidate mixer{"pavucontrol", {QStringLiteral("--tab=4")}};
        return kde ? startFirst({plasma, plasma5, gnome, mixer})
                   : startFirst({gnome, plasma, plasma5, mixer});
    }
    case Pane::accessibility: {
        // X11 needs no grant for global keys; the closest page is the desktop's keyboard one.
        const Candidate gnome{"gnome-control-center", {QStringLiteral("keyboard")}};
        const Candidate plasma{"systemsettings", {QStringLiteral("kcm_keyboard")}};
        return kde ? startFirst({plasma, gnome}) : startFirst({gnome, plasma});
    }
    }
    return false;
}

} // namespace SystemSettings
