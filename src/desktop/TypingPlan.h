#pragma once

#include "desktop/NewlineMode.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// How a transcript is typed: pieces of characters and line breaks, in order. Plain code, so that
// what reaches the keyboard can be checked without a desktop.
struct TypingStep
{
    enum class Kind
    {
        characters,
        lineBreak,
        // Characters that go through the clipboard and a paste key instead.
        paste
    };

    Kind kind = Kind::characters;
    // For characters: at most piece user-perceived characters; for a paste, the whole run.
    QString text;
    // For a line break: the modifiers held with the Return key (ModifierFlag values).
    quint64 flags = 0;

    bool operator==(const TypingStep &other) const = default;
};

namespace TypingPlan {

inline constexpr int piece = 16;
inline constexpr int pieceMs = 4;
inline constexpr int lineBreakMs = 20;

// Consecutive pieces of at most `by` grapheme clusters; a character is never split.
QStringList chunked(const QString &text, int by);
// The modifiers of a line break, or nothing when the mode types a space instead.
std::optional<quint64> lineBreakFlags(NewlineMode mode);
// Carriage returns become line feeds; each line's characters in pieces, with a break between
// lines (empty lines included). With `pasteBeyondBmp`, every run of characters with a code
// point past U+FFFF (emoji, rarer ideographs) is a paste step of its own.
QList<TypingStep> plan(const QString &text, NewlineMode mode, bool pasteBeyondBmp = false);
// The pause after a step: typing pieces are short, a Return key gets the target time to act.
int pauseAfterMs(const TypingStep &step);

} // namespace TypingPlan
