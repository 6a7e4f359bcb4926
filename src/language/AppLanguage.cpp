#include "language/AppLanguage.h"

#include "records/Log.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QTranslator>

#include <memory>

namespace AppLanguage {

namespace {

const QString key = QStringLiteral("AppleLanguages");
const QString reopenKey = QStringLiteral("ReopenWindow");
const QStringList tables = {QStringLiteral("uz"), QStringLiteral("en"), QStringLiteral("ru")};

std::unique_ptr<QSettings> settings()
{
    auto s = std::make_unique<QSettings>(QStringLiteral("Vesk"), QStringLiteral("Vesk Voice"));
    // The app's own file only: a key in an organisation-wide or system file (~/.config/Vesk.conf,
    // /etc/xdg) would otherwise hold the language after the user chose "System".
    s->setFallbacksEnabled(false);
    return s;
}

void relaunch()
{
    const QStringList command = restartCommand(QCoreApplication::applicationFilePath());
    // A start error is ignored: the program still ends, and the language applies next time.
    if (!QProcess::startDetached(command.first(), command.mid(1)))
        Log::write(QStringLiteral("could not start the restart script"));
    QCoreApplication::quit();
}

std::function<void()> &restarter()
{
    static std::function<void()> r = relaunch;
    return r;
}

} // namespace

const QList<Choice> &choices()
{
    static const QList<Choice> list = {
        {std::nullopt, QCoreApplication::translate("AppLanguage", "System")},
        {QStringLiteral("uz"), QStringLiteral("Oʻzbekcha")},
        {QStringLiteral("en"), QStringLiteral("English")},
        {QStringLiteral("ru"), QStringLiteral("Русский")},
    };
    return list;
}

std::optional<QString> chosen()
{
    const QVariant value = settings()->value(key);
    // QSettings hands a one-element list back as a plain string.
    if (value.typeId() == QMetaType::QString) {
        const QString code = value.toString();
        return code.isEmpty() ? std::nullopt : std::optional<QString>(code);
    }
    if (value.typeId() != QMetaType::QStringList && value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const QVariantList list = value.toList();
    if (list.isEmpty() || list.first().typeId() != QMetaType::QString)
        return std::nullopt;
    for (const QVariant &v : list) {
        if (v.typeId() != QMetaType::QString)
            return std::nullopt;
    }
    return list.first().toString();
}

void choose(const std::optional<QString> &code, const QString &reopen)
{
    const std::optional<QString> current = chosen();
    const std::unique_ptr<QSettings> s = settings();
    if (code) {
        if (current == code)
            return;
        s->setValue(key, QStringList{*code});
    } else {
        if (!current)
            return;
        s->remove(key);
    }
    if (!reopen.isEmpty())
        s->setValue(reopenKey, reopen);
    s->sync();
    restarter()();
}

QString takeReopenWindow()
{
    const std::unique_ptr<QSettings> s = settings();
    const QString window = s->value(reopenKey).toString();
    if (s->contains(reopenKey)) {
        s->remove(reopenKey);
        s->sync();
    }
    return window;
}

QStringList restartCommand(const QString &executable)
{
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("sleep 1; exec \"$0\""),
            executable};
}

void setRestarter(std::function<void()> r)
{
    restarter() = r ? std::move(r) : relaunch;
}

QString effectiveCode()
{
    if (const auto code = chosen(); code && tables.contains(*code))
        return *code;
    for (const QString &language : QLocale::system().uiLanguages()) {
        const QString base = language.section(QLatin1Char('-'), 0, 0).toLower();
        if (tables.contains(base))
            return base;
    }
    return QStringLiteral("en");
}

QLocale localeFor(const QString &code)
{
    // The system's own locale when it speaks the same language keeps its country's habits
    // (en_GB dates, a Ukrainian Russian speaker's calendar); otherwise the language's own.
    const QLocale system = QLocale::system();
    const QLocale language(code);
    return system.language() == language.language() ? system : language;
}

QString installTranslator(QCoreApplication *app)
{
    const QString code = effectiveCode();
    const QLocale locale = localeFor(code);
    // Dates, numbers and collation follow the interface, not only the texts.
    QLocale::setDefault(locale);

    // Qt's own texts: the standard buttons, the text fields' context menus. The system's
    // translation when it has one, else the few we carry ourselves.
    auto *qt = new QTranslator(app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        qt->load(QStringLiteral(":/translations/qtbase_") + code + QStringLiteral(".qm"))) {
        app->installTranslator(qt);
    } else {
        delete qt;
        if (code != QLatin1String("en"))
            Log::write(QStringLiteral("no Qt translation for ") + locale.name());
    }

    auto *translator = new QTranslator(app);
    if (!translator->load(QStringLiteral(":/translations/vesk_") + code + QStringLiteral(".qm"))) {
        delete translator;
        return {};
    }
    app->installTranslator(translator);
    return code;
}

} // namespace AppLanguage
