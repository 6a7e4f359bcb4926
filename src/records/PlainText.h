#pragma once

#include <QString>
#include <QTextBoundaryFinder>

// Text from outside (the network, files) on its way to a terminal, the log, the clipboard or
// another program's window, where control characters would act instead of showing: escape
// sequences, bells, C1 controls, and the bidirectional overrides and isolates that make a line
// read differently from what it holds.
namespace PlainText {

inline bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return c.category() == QChar::Other_Control || (u >= 0x202a && u <= 0x202e) ||
           (u >= 0x2066 && u <= 0x2069);
}

// The text without control characters; line feeds and tabs stay.
inline QString withoutControls(const QString &text)
{
    QString out = text;
    out.removeIf([](QChar c) { return isControl(c) && c != u'\n' && c != u'\t'; });
    return out;
}

// The text with each control character but the tab written out, as \x1b or \u202e.
inline QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (!isControl(c) || c == u'\t')
            out += c;
        else if (c.unicode() < 0x100)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return out;
}

// At most `length` characters of the text, with "…" in place of the rest.
inline QString shortened(const QString &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    qsizetype cut = length;
    if (cut > 0 && text.at(cut).isLowSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

// The first `count` characters as a reader counts them: an emoji, a letter with its accents or a
// flag is never cut in half.
inline QString firstCharacters(const QString &text, qsizetype count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (qsizetype n = 0; n < count && end >= 0 && end < text.size(); ++n)
        end = finder.toNextBoundary();
    return end < 0 ? text : text.left(end);
}

} // namespace PlainText
