#include "app/MenuText.h"
#include "records/PlainText.h"

#include <QCoreApplication>

namespace MenuText {

QStringList wrapped(const QString &text, int width)
{
    QStringList lines;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (line.size() + word.size() + 1 <= width) {
            if (!line.isEmpty())
                line += QLatin1Char(' ');
            line += word;
        } else {
            // A first word longer than the width starts its own line; no empty line before it.
            if (!line.isEmpty())
                lines.append(line);
            line = word;
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

QString copyPreview(const QString &text)
{
    const QString head = PlainText::firstCharacters(text, 48);
    return head.size() == text.size() ? text : head + QStringLiteral("...");
}

QString statusLine(AppState::Phase phase, bool accessibilityGranted, const QString &hotkeyLabel)
{
    switch (phase) {
    case AppState::Phase::idle:
        if (!accessibilityGranted)
            return QCoreApplication::translate("AppDelegate", "Accessibility permission needed");
        return QCoreApplication::translate("AppDelegate", "Hold %1 to talk").arg(hotkeyLabel);
    case AppState::Phase::recording:
        return QCoreApplication::translate("AppDelegate", "Recording... (Esc to cancel)");
    case AppState::Phase::working:
        return QCoreApplication::translate("AppDelegate", "Transcribing...");
    case AppState::Phase::failed:
        return QCoreApplication::translate("AppDelegate", "Something went wrong");
    }
    return QString();
}

QString symbol(AppState::Phase phase, bool accessibilityGranted)
{
    switch (phase) {
    case AppState::Phase::idle:
        return accessibilityGranted ? QStringLiteral("mic") : QStringLiteral("mic.slash");
    case AppState::Phase::recording:
        return QStringLiteral("mic.fill");
    case AppState::Phase::working:
        return QStringLiteral("waveform");
    case AppState::Phase::failed:
        return QStringLiteral("exclamationmark.triangle");
    }
    return QStringLiteral("mic");
}

QColor tint(AppState::Phase phase)
{
    switch (phase) {
    case AppState::Phase::recording:
        return QColor(0xFF, 0x3B, 0x30);
    case AppState::Phase::working:
        return QColor(0x00, 0x7A, 0xFF);
    case AppState::Phase::failed:
        return QColor(0xFF, 0x95, 0x00);
    case AppState::Phase::idle:
        break;
    }
    return QColor();
}

QString versionLabel()
{
    static const QString label = [] {
        const QString version = QCoreApplication::applicationVersion();
        const QString build = QStringLiteral(VESK_BUILD_NUMBER);
        return QStringLiteral("Vesk Voice %1 (%2)")
            .arg(version.isEmpty() ? QStringLiteral("?") : version,
                 build.isEmpty() ? QStringLiteral("?") : build);
    }();
    return label;
}

} // namespace MenuText
