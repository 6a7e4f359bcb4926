#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QCoreApplication;
class QLocale;

// The language of the interface: an override kept in the application's own settings (not in the
// data folder), or the system's language when none is stored. A change restarts the program.
namespace AppLanguage {

struct Choice
{
    std::optional<QString> code; // nothing: follow the system
    QString name;                // in its own language; "System" in the interface language
};

// System, Oʻzbekcha, English, Русский, in that order.
const QList<Choice> &choices();

// The first code of the stored override; nothing when none (or no usable list) is stored.
std::optional<QString> chosen();

// Stores the choice and restarts when it differs from chosen(); nothing happens otherwise.
// `reopen` names the window the next start shows again (the one the choice was made in).
void choose(const std::optional<QString> &code, const QString &reopen = QString());

// The window a restart for a language change is to show again ("settings"), once: reading it
// forgets it. Empty when there is none.
QString takeReopenWindow();

// The program and arguments that start `executable` again after a second. The path travels as
// the script's $0, never inside the script text, so no path can break or extend the command.
QStringList restartCommand(const QString &executable);

// What choose() does after storing: by default, start restartCommand() and quit. Tests replace
// it.
void setRestarter(std::function<void()> restarter);

// The language the interface runs in: chosen(), else the first system language we have a table
// for, else English.
QString effectiveCode();
// The locale an interface in `code` runs in: the system's when it has that language, else the
// language's own.
QLocale localeFor(const QString &code);
// Makes localeFor(effectiveCode()) the default locale, and installs Qt's own translation for it
// where the system has one, then the string table of effectiveCode() (English has one too, for
// texts that are worded differently on this desktop). Returns the code loaded, empty when none
// could be.
QString installTranslator(QCoreApplication *app);

} // namespace AppLanguage
