#include "transcription/SpokenLanguage.h"

#include <algorithm>

const QList<SpokenLanguage> &SpokenLanguage::all()
{
    // "O\u02BBzbekcha": the modifier letter turned comma, not an apostrophe.
    static const QList<SpokenLanguage> table = {
        {QStringLiteral("uz-UZ"), QStringLiteral("Uzbek"), QStringLiteral("O\u02BBzbekcha")},
        {QStringLiteral("ru-RU"), QStringLiteral("Russian"), QStringLiteral("Русский")},
        {QStringLiteral("en-US"), QStringLiteral("English"), QStringLiteral("English")},
        {QStringLiteral("kk-KZ"), QStringLiteral("Kazakh"), QStringLiteral("Қазақша")},
        {QStringLiteral("ky-KG"), QStringLiteral("Kyrgyz"), QStringLiteral("Кыргызча")},
        {QStringLiteral("tg-TJ"), QStringLiteral("Tajik"), QStringLiteral("Тоҷикӣ")},
        {QStringLiteral("tr-TR"), QStringLiteral("Turkish"), QStringLiteral("Türkçe")},
        {QStringLiteral("de-DE"), QStringLiteral("German"), QStringLiteral("Deutsch")},
        {QStringLiteral("fr-FR"), QStringLiteral("French"), QStringLiteral("Français")},
        {QStringLiteral("es-ES"), QStringLiteral("Spanish"), QStringLiteral("Español")},
        {QStringLiteral("ar-SA"), QStringLiteral("Arabic"), QStringLiteral("العربية")},
        {QStringLiteral("zh-CN"), QStringLiteral("Chinese"), QStringLiteral("中文")},
        {QStringLiteral("ko-KR"), QStringLiteral("Korean"), QStringLiteral("한국어")},
    };
    return table;
}

QStringList SpokenLanguage::inTableOrder(const QStringList &codes)
{
    QStringList ordered;
    for (const SpokenLanguage &language : all()) {
        if (codes.contains(language.code))
            ordered.append(language.code);
    }
    return ordered;
}

QStringList SpokenLanguage::outsideTable(const QStringList &codes)
{
    QStringList others;
    for (const QString &code : codes) {
        const bool inTable = std::any_of(all().begin(), all().end(),
                                         [&](const SpokenLanguage &l) { return l.code == code; });
        if (!inTable && !others.contains(code))
            others.append(code);
    }
    return others;
}
