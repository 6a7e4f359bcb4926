#include "app/shell/StatusItem.h"

#include "desktop/HotkeyKindInfo.h"
#include "records/Log.h"
#include "app/MenuText.h"
#include "Symbols.h"

#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QPalette>
#include <QUrl>
#include <algorithm>

namespace {

// The tray's menu, whose key equivalents (Ctrl+O, Ctrl+Q) work while it is open: it belongs to
// no window, so Qt's shortcuts never reach its items.
class TrayMenu : public QMenu
{
protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const QKeySequence pressed(event->keyCombination());
        for (QAction *action : actions()) {
            if (!action->shortcut().isEmpty() && action->shortcut() == pressed &&
                action->isEnabled()) {
                hide();
                action->trigger();
                return;
            }
        }
        QMenu::keyPressEvent(event);
    }
};

} // namespace

StatusItem::StatusItem(AppDelegate *controller, QObject *parent)
    : QObject(parent), m_controller(controller), m_menu(std::make_unique<TrayMenu>())
{
    m_trayWatch.setInterval(2000);
    connect(&m_trayWatch, &QTimer::timeout, this, [this] {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        m_trayWatch.stop();
        m_trayAvailable = true;
        state()->setTrayAvailable(true);
        Log::write(QStringLiteral("system tray appeared"));
        Q_EMIT trayAppeared();
    });
    connect(m_controller, &AppDelegate::phaseApplied, this, &StatusItem::refresh);
    connect(m_controller, &AppDelegate::actionsChanged, this, &StatusItem::refresh);
    // Whatever the menu shows, it shows as it is now: a message, the last transcript, the trust,
    // the key in effect, the microphone, what could not be saved.
    AppState *s = state();
    connect(s, &AppState::messageChanged, this, &StatusItem::refresh);
    connect(s, &AppState::accessibilityGrantedChanged, this, &StatusItem::refresh);
    for (auto signal :
         {&AppState::historyChanged, &AppState::configChanged, &AppState::hotkeyInEffectChanged,
          &AppState::holdKeyAdviceChanged, &AppState::saveProblemsChanged})
        connect(s, signal, this, &StatusItem::refresh);
    // The microphones come and go without a word: listed afresh each time the menu opens.
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        m_opening = true;
        refresh();
        m_opening = false;
    });
}

StatusItem::~StatusItem() = default;

std::unique_ptr<QSystemTrayIcon> StatusItem::showEarly(const AppState *state)
{
    auto icon = std::make_unique<QSystemTrayIcon>(iconFor(state));
    icon->setToolTip(QStringLiteral("Vesk Voice"));
    icon->show();
    return icon;
}

QIcon StatusItem::iconFor(const AppState *state)
{
    const AppState::Phase phase = state->phase();
    QColor color = MenuText::tint(phase);
    if (!color.isValid())
        color = QApplication::palette().color(QPalette::WindowText);
    return Symbols::icon(MenuText::symbol(phase, state->accessibilityGranted()), color);
}

void StatusItem::show()
{
    // Made even when no tray is there yet (a session's autostart often wins the race against
    // the panel): Qt docks the icon as soon as a tray appears.
    m_tray = m_early ? std::move(m_early) : std::make_unique<QSystemTrayIcon>();
    m_tray->setToolTip(QStringLiteral("Vesk Voice"));
    // While a live session hears the user, the tooltip shows the newest of its words.
    connect(state(), &AppState::interimTextChanged, m_tray.get(), [this](const QString &text) {
        const QString words = text.simplified();
        const QString shown = words.size() > 80 ? QStringLiteral("…") + words.right(80) : words;
        m_tray->setToolTip(shown.isEmpty() ? QStringLiteral("Vesk Voice")
                                           : QStringLiteral("Vesk Voice: ") + shown);
    });
    m_tray->setContextMenu(m_menu.get());
    // A left click opens the menu too, as a right one does (a desktop's own tray may do so
    // itself; then no click reaches here).
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && !m_menu->isVisible())
                    m_menu->popup(QCursor::pos());
            });
    refresh();
    m_tray->show();
    m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    state()->setTrayAvailable(m_trayAvailable);
    if (!m_trayAvailable) {
        Log::write(QStringLiteral("no system tray yet: the floating button stays on screen until "
                                  "one appears"));
        m_trayWatch.start();
    }
}

void StatusItem::refresh()
{
    if (m_tray)
        m_tray->setIcon(iconFor(state()));
    m_menu->clear();
    build(m_menu.get());
}

void StatusItem::build(QMenu *menu)
{
    const AppState *s = state();
    const Config &c = s->config();
    const QString key = s->holdKeyAdvice().key;
    menu->addAction(
            MenuText::statusLine(s->phase(), s->accessibilityGranted(),
                                 key.isEmpty() ? HotkeyKindInfo::inText(s->hotkeyInEffect()) : key))
        ->setEnabled(false);
    for (const QString &message :
         QStringList{s->message()} + s->readProblems() + s->saveProblems()) {
        for (const QString &line : MenuText::wrapped(message, 60))
            menu->addAction(line)->setEnabled(false);
    }
    if (m_controller->canCancelTranscription())
        connect(menu->addAction(tr("Cancel transcription")), &QAction::triggered, m_controller,
                &AppDelegate::cancelTranscription);
    if (m_controller->canRetry() && s->phase() != AppState::Phase::working &&
        s->phase() != AppState::Phase::recording)
        connect(menu->addAction(tr("Retry last recording")), &QAction::triggered, m_controller,
                &AppDelegate::retryLastRecording);
    menu->addSeparator();

    addMicrophoneMenu(menu, tr("Microphone: ") + microphoneName());

    QAction *window = menu->addAction(tr("Vesk Voice window..."));
    window->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(window, &QAction::triggered, this, &StatusItem::windowRequested);
    connect(menu->addAction(tr("Setup guide...")), &QAction::triggered, this,
            &StatusItem::guideRequested);

    connect(menu->addAction(c.hudVisible ? tr("Hide floating button") : tr("Show floating button")),
            &QAction::triggered, this, &StatusItem::floatingButtonToggled);

    const QString last = s->lastTranscript();
    if (!last.isEmpty()) {
        menu->addSeparator();
        connect(menu->addAction(tr("Copy last: ") + MenuText::copyPreview(last)),
                &QAction::triggered, m_controller, &AppDelegate::copyLast);
        connect(menu->addAction(tr("Insert last again")), &QAction::triggered, m_controller,
                &AppDelegate::insertLast);
    }
    menu->addSeparator();
    menu->addAction(MenuText::versionLabel())->setEnabled(false);
    connect(menu->addAction(tr("Check for updates...")), &QAction::triggered, this,
            &StatusItem::checkForUpdates);
    connect(menu->addAction(tr("Open log")), &QAction::triggered, this, &StatusItem::openLog);
    QAction *quitAction = menu->addAction(tr("Quit Vesk Voice"));
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quitAction, &QAction::triggered, this, &StatusItem::quit);
}

void StatusItem::addMicrophoneMenu(QMenu *parent, const QString &title)
{
    // The item belongs to the parent menu, which deletes it when the menu is rebuilt; the
    // submenu goes with it. (A submenu from QMenu::addMenu() outlives every rebuild.) Deferred,
    // since a rebuild can come from one of the submenu's own items.
    QAction *item = parent->addAction(title);
    auto *menu = new QMenu(parent);
    item->setMenu(menu);
    connect(item, &QObject::destroyed, menu, &QObject::deleteLater);

    // Listed as the submenu opens: asking for the microphones starts the audio system, which an
    // idle app does not need.
    auto *group = new QActionGroup(menu);
    connect(menu, &QMenu::aboutToShow, this, [this, menu, group] {
        menu->clear();
        const QString current = state()->config().inputDeviceID;
        auto add = [&](const QString &title, const QString &id) {
            QAction *a = menu->addAction(title);
            a->setCheckable(true);
            a->setChecked(id == current);
            a->setData(id);
            group->addAction(a);
            connect(a, &QAction::triggered, this, [this, id] { pickMicrophone(id); });
        };
        add(tr("System default"), QString());
        for (const auto &[id, name] : m_controller->recorder().inputs())
            add(name, id);
    });
}

QString StatusItem::microphoneName() const
{
    const Config &c = state()->config();
    if (c.inputDeviceID.isEmpty())
        return m_controller->recorder().name(QString());
    // Until the menu is looked at, the name it was chosen by: whether it is connected is asked
    // of the audio system, which an idle app does not start.
    if (!m_opening && !m_controller->recorder().ready())
        return c.inputDeviceName.isEmpty() ? c.inputDeviceID : c.inputDeviceName;
    const auto inputs = m_controller->recorder().inputs();
    const bool connected = std::any_of(inputs.begin(), inputs.end(), [&](const auto &input) {
        return input.first == c.inputDeviceID;
    });
    if (connected)
        return m_controller->recorder().name(c.inputDeviceID);
    // Away: named as it was when chosen, and what is recorded instead.
    return (c.inputDeviceName.isEmpty() ? c.inputDeviceID : c.inputDeviceName) +
           tr(" — not connected, the system default is used");
}

void StatusItem::pickMicrophone(const QString &deviceID)
{
    Config c = state()->config();
    c.inputDeviceID = deviceID;
    c.inputDeviceName = deviceID.isEmpty() ? QString() : m_controller->recorder().name(deviceID);
    state()->setConfig(c);
    state()->saveConfig();
    Log::write(QStringLiteral("microphone set to ") +
               (deviceID.isEmpty() ? QStringLiteral("the system default") : c.inputDeviceName));
    refresh();
}

void StatusItem::checkForUpdates()
{
    Q_EMIT updatesRequested();
}

void StatusItem::openLog()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(Log::fileURL()));
}

void StatusItem::quit()
{
    QCoreApplication::quit();
}
