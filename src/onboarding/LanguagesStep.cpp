#include "onboarding/LanguagesStep.h"

#include "state/AppState.h"
#include "onboarding/OnboardingSteps.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/OnboardingWidgets.h"
#include "transcription/SpokenLanguage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QSet>
#include <QVBoxLayout>

LanguagesStep::LanguagesStep(OnboardingView *guide)
{
    QVBoxLayout *layout = Steps::column(this);
    layout->addWidget(new StepHeader(
        QStringLiteral("character.bubble"), tr("Which languages do you speak?"),
        tr("Pick every language you use, even if you mix them in one sentence. Vesk Voice keeps "
           "each word in the language it was said in.")));
    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(8);
    const QList<SpokenLanguage> &table = SpokenLanguage::all();
    const QStringList selected = guide->state()->config().languageCodes;
    for (int i = 0; i < table.size(); ++i) {
        auto *box = new QCheckBox(table[i].nativeName);
        box->setChecked(selected.contains(table[i].code));
        const QString code = table[i].code;
        connect(box, &QCheckBox::toggled, this, [guide, code](bool on) {
            Steps::editConfig(guide->state(), [&](Config &c) {
                QSet<QString> set(c.languageCodes.begin(), c.languageCodes.end());
                if (on)
                    set.insert(code);
                else
                    set.remove(code);
                // Table order, no duplicates; codes the table does not know go.
                c.languageCodes = SpokenLanguage::inTableOrder(QStringList(set.begin(), set.end()));
            });
        });
        grid->addWidget(box, i / 3, i % 3, Qt::AlignLeft);
        m_boxes.append(box);
    }
    for (int c = 0; c < 3; ++c)
        grid->setColumnStretch(c, 1);
    layout->addLayout(grid);
}
