#include "onboarding/StatusPage.h"

#include "onboarding/OnboardingSteps.h"

#include <QPushButton>
#include <QVBoxLayout>

StatusPage::StatusPage(OnboardingView *guide, QWidget *header)
    : m_guide(guide), m_layout(Steps::column(this))
{
    m_layout->addWidget(header);
}

void StatusPage::rebuild()
{
    if (m_body) {
        m_layout->removeWidget(m_body);
        delete m_body;
    }
    m_body = new QWidget;
    auto *layout = new QVBoxLayout(m_body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    fill(layout);
    for (QPushButton *b : m_body->findChildren<QPushButton *>())
        b->setAutoDefault(false);
    m_layout->addWidget(m_body);
}
