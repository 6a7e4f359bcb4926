// Pictures of the floating button for scripts/screenshots-windows: its four looks and a live
// session's words in three languages, each on a grey desktop, and the failed look with its
// tooltip as the screen shows it (which needs an X server with a compositor).
//   shoot_hud FOLDER
// Writes FOLDER/hud-*.png and prints each file's path.

#include "desktop/PlatformLoader.h"
#include "ui/hud/HUDPanel.h"
#include "ui/hud/HUDView.h"
#include "ui/hud/RoundButton.h"

#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QToolTip>

using namespace Qt::StringLiterals;

static void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: shoot_hud FOLDER\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool saved = true;
    const auto save = [&](const QImage &picture, const QString &name) {
        const QString path = folder + u"/hud-"_s + name + u".png"_s;
        saved = picture.save(path) && saved;
        QTextStream(stdout) << path << Qt::endl;
    };

    AppState state{Config(), History()};
    state.setAccessibilityGranted(true);
    const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
    HUDPanel panel{&state, platform->windowPinning(), [] {}, [] {}, [] {}};
    panel.restorePosition(Config());
    panel.show();
    const auto onGrey = [&](const QString &name) {
        settle(250); // the animations settle
        const QPixmap shot = panel.grab();
        QImage picture(shot.size() + QSize(24, 24), QImage::Format_ARGB32);
        picture.fill(QColor(120, 130, 140));
        QPainter(&picture).drawPixmap(12, 12, shot);
        save(picture, name);
    };

    const std::pair<AppState::Phase, const char *> looks[] = {
        {AppState::Phase::idle, "idle"},
        {AppState::Phase::recording, "recording"},
        {AppState::Phase::working, "working"},
        {AppState::Phase::failed, "failed"}};
    for (const auto &[phase, name] : looks) {
        state.setPhase(phase);
        state.setLevel(phase == AppState::Phase::recording ? 0.6 : 0);
        panel.applyWidth(phase);
        onGrey(QString::fromLatin1(name));
    }

    // A live session's words beside the meter; a long text shows its end.
    state.setPhase(AppState::Phase::recording);
    state.setLevel(0.6);
    const std::pair<const char *, QString> languages[] = {
        {"en", u"So this is what I am saying while the key is still held down"_s},
        {"uz", u"Salom, bugun men oʻzbek tilida gapiryapman va soʻzlar koʻrinadi"_s},
        {"ru", u"Привет, это живая диктовка, и слова видны прямо во время речи"_s}};
    for (const auto &[language, words] : languages) {
        state.setInterimText(words);
        panel.applyWidth(AppState::Phase::recording, true);
        onGrey(u"live-"_s + QLatin1String(language));
    }
    state.setInterimText(QString());

    // The failure's text, shown where a pointer resting on the button would bring it up, with
    // some desktop around the panel and the tooltip.
    state.setMessage(u"Gemini returned 503: The model is overloaded."_s);
    state.setPhase(AppState::Phase::failed);
    panel.applyWidth(AppState::Phase::failed);
    settle(250);
    QWidget *button = panel.view()->mainButton();
    QToolTip::showText(button->mapToGlobal(button->rect().center()), state.message(), button);
    settle(400); // the tooltip fades in
    QRect around(panel.screenPosition(), panel.size());
    for (const QWidget *w : QApplication::topLevelWidgets()) {
        if (w->inherits("QTipLabel") && w->isVisible())
            around |= w->geometry();
    }
    around.adjust(-40, -40, 40, 40);
    save(QGuiApplication::primaryScreen()
             ->grabWindow(0, around.x(), around.y(), around.width(), around.height())
             .toImage(),
         u"tooltip"_s);
    return saved ? 0 : 1;
}
