#include "desktop/TypingPlan.h"

#include "desktop/KeyEvent.h"

#include <QTextBoundaryFinder>
#include <algorithm>

namespace TypingPlan {

QStringList chunked(const QString &text, int by)
{
    QStringList pieces;
    if (text.isEmpty() || by <= 0)
        return pieces;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    int count = 0;
    while (finder.toNextBoundary() != -1) {
        if (++count == by) {
            pieces.append(text.mid(start, finder.position() - start));
            start = finder.position();
            count = 0;
        }
    }
    if (start < text.size())
        pieces.append(text.mid(start));
    return pieces;
}

namespace {

// Consecutive runs of whole grapheme clusters: typed (true) or, with `split`, pasted where a
// cluster holds a code point past U+FFFF (a surrogate pair in UTF-16).
QList<std::pair<bool, QString>> runs(const QString &line, bool split)
{
    QList<std::pair<bool, QString>> out;
    if (!split) {
        if (!line.isEmpty())
            out.append({true, line});
        return out;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const QString cluster = line.mid(start, finder.position() - start);
        start = finder.position();
        const bool typed = std::none_of(cluster.begin(), cluster.end(),
                                        [](QChar c) { return c.isHighSurrogate(); });
        if (out.isEmpty() || out.last().first != typed)
            out.append({typed, cluster});
        else
            out.last().second += cluster;
    }
    return out;
}

} // namespace

std::optional<quint64> lineBreakFlags(NewlineMode mode)
{
    switch (mode) {
    case NewlineMode::shiftReturn:
        return ModifierFlag::shift;
    case NewlineMode::optionReturn:
        return ModifierFlag::option;
    case NewlineMode::plain:
        return quint64(0);
    case NewlineMode::space:
        break;
    }
    return std::nullopt;
}

QList<TypingStep> plan(const QString &text, NewlineMode mode, bool pasteBeyondBmp)
{
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = normalized.split(QLatin1Char('\n'));

    QList<TypingStep> steps;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            if (const auto flags = lineBreakFlags(mode))
                steps.append({TypingStep::Kind::lineBreak, QString(), *flags});
            else
                steps.append({TypingStep::Kind::characters, QStringLiteral(" "), 0});
        }
        for (const auto &[typed, run] : runs(lines[i], pasteBeyondBmp)) {
            if (!typed) {
                steps.append({TypingStep::Kind::paste, run, 0});
                continue;
            }
            for (const QString &p : chunked(run, piece))
                steps.append({TypingStep::Kind::characters, p, 0});
        }
    }
    return steps;
}

int pauseAfterMs(const TypingStep &step)
{
    return step.kind == TypingStep::Kind::lineBreak ? lineBreakMs : pieceMs;
}

} // namespace TypingPlan
