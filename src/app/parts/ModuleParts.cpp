#include "app/parts/ModuleParts.h"

#include "app/SoundPlayer.h"
#include "app/Updater.h"
#include "app/cli/CommandLine.h"
#include "app/services/GeminiTranscriber.h"
#include "app/services/MicrophoneRecorder.h"
#include "app/shell/AppWindows.h"
#include "records/ModuleFiles.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <cstring>

ModuleParts::ModuleParts() = default;

ModuleParts::~ModuleParts() = default;

QList<Cli::Command> ModuleParts::commands()
{
    return Cli::transcriptionCommands() + Cli::audioCommands() + Cli::desktopCommands();
}

std::unique_ptr<RecorderPort> ModuleParts::recorder()
{
    return std::make_unique<MicrophoneRecorder>();
}

std::unique_ptr<TranscriberPort> ModuleParts::transcriber()
{
    return std::make_unique<GeminiTranscriber>();
}

std::optional<QString> ModuleParts::trim(const QString &file, double keepSeconds)
{
    return trimRecording(file, keepSeconds);
}

void ModuleParts::playSound(const QString &name)
{
    // Made at the first sound: loading starts the audio output.
    if (!m_sounds)
        m_sounds = std::make_unique<SoundPlayer>();
    m_sounds->play(name);
}

std::unique_ptr<WindowsPort> ModuleParts::windows(AppDelegate *controller, bool wayland, Save save)
{
    return std::make_unique<AppWindows>(controller, wayland, std::move(save));
}

void ModuleParts::checkForUpdates()
{
    if (!m_updater) {
        m_updater = std::make_unique<Updater>();
        QObject::connect(m_updater.get(), &Updater::checked, [](const Updater::Result &result) {
            QMessageBox box(QMessageBox::Information, QStringLiteral("Vesk Voice"),
                            Updater::describe(result));
            QPushButton *download = nullptr;
            if (result.kind == Updater::Result::Kind::available && result.item->download.isValid())
                download = box.addButton(QCoreApplication::translate("StatusItem", "Download"),
                                         QMessageBox::AcceptRole);
            box.addButton(QMessageBox::Close);
            box.exec();
            if (download && box.clickedButton() == static_cast<QAbstractButton *>(download))
                QDesktopServices::openUrl(result.item->download);
        });
    }
    m_updater->check();
}

extern "C" Q_DECL_EXPORT OnDemandParts *VESK_ON_DEMAND_ENTRY(const char *build)
{
    if (std::strcmp(build, ModuleFiles::build) != 0)
        return nullptr;
    return new ModuleParts;
}
