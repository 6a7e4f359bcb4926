#include "app/shell/AppWindows.h"

#include "ui/main/HistoryView.h"
#include "app/services/WindowServices.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>

AppWindows::AppWindows(AppDelegate *controller, bool wayland, Save save, QObject *parent)
    : QObject(parent), m_controller(controller), m_wayland(wayland), m_save(std::move(save))
{}

AppWindows::~AppWindows()
{
    delete m_onboardingWindow;
}

namespace {

// Shows a window in front, centred on the screen the first time.
void present(QWidget *window, bool centre)
{
    if (centre) {
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), window->size());
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
    }
    // A minimised window is un-minimised, not merely raised behind its taskbar entry.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void AppWindows::openMainWindow(Tab tab)
{
    openMainWindow(tab == Tab::settings ? MainView::Tab::settings : MainView::Tab::history);
}

void AppWindows::openMainWindow(MainView::Tab tab)
{
    if (m_mainWindow) {
        present(m_mainWindow.get(), false);
        return;
    }
    QPointer<AppWindows> self(this);
    m_mainWindow = std::make_unique<MainView>(
        state(), tab,
        [self](const Config &config) {
            if (self)
                self->m_save(config);
        },
        [self](const QString &text) {
            if (self)
                self->insert(text);
        },
        WindowServices::settings(m_controller->recorder()));
    m_mainWindow->setWindowTitle(QStringLiteral("Vesk Voice"));
    m_mainWindow->resize(820, 560);
    present(m_mainWindow.get(), true);
}

void AppWindows::insert(const QString &text)
{
    // Clicked in this window, the text would land here: first back to the app the user was in,
    // which the window manager brings in front of this one.
    if (!m_mainWindow || !m_mainWindow->isActiveWindow()) {
        m_controller->insert(text);
        return;
    }
    m_mainWindow->history()->setNotice(QString());
    FocusPort &focus = m_controller->focus();
    QPointer<AppWindows> self(this);
    focus.activate(focus.previousWindow(), [self, text](bool there) {
        if (!self)
            return;
        if (there) {
            self->m_controller->insert(text);
            return;
        }
        // No way back on this desktop: the text waits on the clipboard instead.
        QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
        if (self->m_mainWindow)
            self->m_mainWindow->history()->setNotice(
                tr("This desktop gives Vesk Voice no way back to the app you were in, so the "
                   "text was copied: paste it there."));
    });
}

void AppWindows::openOnboarding()
{
    if (m_onboardingWindow) {
        present(m_onboardingWindow, false);
        return;
    }
    QPointer<AppWindows> self(this);
    m_onboardingWindow = new OnboardingView(
        state(),
        [self](const Config &config) {
            if (self)
                self->m_save(config);
        },
        [self] {
            if (self)
                self->finishOnboarding();
        },
        MicStatus::authorized, WindowServices::guide(m_wayland));
    m_onboardingWindow->setWindowTitle(QStringLiteral("Vesk Voice"));
    present(m_onboardingWindow, true);
}

void AppWindows::finishOnboarding()
{
    state()->setMessage(QString());
    if (m_onboardingWindow) {
        m_onboardingWindow->close();
        m_onboardingWindow->deleteLater();
        m_onboardingWindow = nullptr;
    }
}
