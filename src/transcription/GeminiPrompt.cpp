#include "transcription/GeminiClient.h"

#include "transcription/SpokenLanguage.h"

namespace {

// The fixed wording of the prompt. Every section after the first starts with its own line feed,
// so joining sections with one more leaves an empty line between them.
const QString verbatimMode =
    QStringLiteral("\nWrite down every word exactly as spoken, including repetitions, filler\n"
                   "sounds and false starts. Do not tidy anything up.");
const QString smartMode = QStringLiteral(
    "\nClean the transcript up for reading, without changing what was meant:\n"
    "- Drop filler sounds and false starts: uh, um, mm, yani, shuni, anaqa, repeated words.\n"
    "- Resolve spoken self-corrections and keep only what the speaker settled on.\n"
    "  \"Seshanba, yo'q, chorshanba kelaman\" becomes \"Chorshanba kelaman\".\n"
    "- Write spoken lists, dates, times and numbers in their normal written form.\n"
    "- Break long speech into sentences and paragraphs where the speaker paused.");
const QString wordListLeadIn =
    QStringLiteral("\nThese names come up often and are easy to mishear \u2014 spell them\n"
                   "exactly like this when you hear them: ");
const QString closing =
    QStringLiteral("\nNever translate, summarize, answer, or add anything of your own.\n"
                   "Output only the transcript. If there is no speech, output nothing at all.");
const QString oneLanguage = QStringLiteral("\nThe speaker talks in ");
const QString severalLanguages = QStringLiteral("\nThe speaker may mix ");
const QString noTranslation = QStringLiteral(
    "Keep every word in the language it was spoken in \u2014 never translate between them.");
const QString uzbekScript = QStringLiteral(" Write Uzbek in Latin script.");

} // namespace

QString GeminiClient::languageRules(const QStringList &codes)
{
    QStringList names;
    for (const QString &code : codes) {
        for (const SpokenLanguage &language : SpokenLanguage::all()) {
            if (language.code == code) {
                names.append(language.englishName);
                break;
            }
        }
    }
    if (names.isEmpty())
        return {};

    QString rules;
    if (names.size() == 1) {
        rules = oneLanguage + names.first() + QLatin1Char('.');
    } else {
        const QString last = names.takeLast();
        rules = severalLanguages + names.join(QStringLiteral(", ")) + QStringLiteral(" and ") +
                last + QStringLiteral(". ") + noTranslation;
    }
    if (codes.contains(QStringLiteral("uz-UZ")))
        rules += uzbekScript;
    return rules;
}

QString GeminiClient::fullPrompt() const
{
    QStringList sections = {prompt};
    if (const QString rules = languageRules(languageCodes); !rules.isEmpty())
        sections.append(rules);
    sections.append(transcriptionMode == QLatin1String("smart") ? smartMode : verbatimMode);
    if (!customVocabulary.isEmpty())
        sections.append(wordListLeadIn + customVocabulary.join(QStringLiteral(", ")) +
                        QLatin1Char('.'));
    sections.append(closing);
    return sections.join(QLatin1Char('\n'));
}
