#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringList>

// A language the user may speak, as offered by the language pickers and named in the prompt.
struct SpokenLanguage
{
    QString code;        // identity in lists and selections, e.g. "uz-UZ"
    QString englishName; // used in the prompt
    QString nativeName;  // shown to the user

    bool operator==(const SpokenLanguage &) const = default;

    // The 13 languages in the order the pickers show them.
    static const QList<SpokenLanguage> &all();
    // The codes of `codes` that the table holds, in the table's order, each once.
    static QStringList inTableOrder(const QStringList &codes);
    // The others, in their order, each once.
    static QStringList outsideTable(const QStringList &codes);
};

inline size_t qHash(const SpokenLanguage &language, size_t seed = 0)
{
    return qHashMulti(seed, language.code, language.englishName, language.nativeName);
}
