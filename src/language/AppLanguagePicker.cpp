#include "language/AppLanguagePicker.h"

#include "language/AppLanguage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QWheelEvent>

namespace {

// A choice here restarts the program, so it is made in the list only: the wheel scrolls on past
// the box, and the keys that would step through the entries open the list instead.
class LanguageBox : public QComboBox
{
public:
    using QComboBox::QComboBox;

protected:
    void wheelEvent(QWheelEvent *event) override { event->ignore(); }

    void keyPressEvent(QKeyEvent *event) override
    {
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Right:
            showPopup();
            event->accept();
            return;
        default:
            break;
        }
        // Typing a letter would otherwise jump to the entry that starts with it.
        if (!event->text().isEmpty() && event->text().at(0).isPrint() &&
            event->key() != Qt::Key_Space) {
            showPopup();
            event->accept();
            return;
        }
        QComboBox::keyPressEvent(event);
    }
};

} // namespace

AppLanguagePicker::AppLanguagePicker(QWidget *parent) : QWidget(parent), m_combo(new LanguageBox)
{
    for (const AppLanguage::Choice &choice : AppLanguage::choices())
        m_combo->addItem(choice.name, choice.code.value_or(QString()));
    // An override we have no entry for selects nothing, so that any pick replaces it.
    const QString initial = AppLanguage::chosen().value_or(QString());
    m_combo->setCurrentIndex(m_combo->findData(initial));
    m_combo->setFocusPolicy(Qt::StrongFocus);

    auto *layout = new QFormLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addRow(tr("Interface language"), m_combo);

    // Only an entry picked from the list counts; no index change on its own restarts.
    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        if (index < 0)
            return;
        const QString picked = m_combo->itemData(index).toString();
        const std::optional<QString> code =
            picked.isEmpty() ? std::nullopt : std::optional<QString>(picked);
        if (code == AppLanguage::chosen())
            return;
        if (m_beforeRestart && !m_beforeRestart()) {
            m_combo->setCurrentIndex(m_combo->findData(AppLanguage::chosen().value_or(QString())));
            return;
        }
        // The settings form is where the choice is made: it comes back after the restart.
        AppLanguage::choose(code, QStringLiteral("settings"));
    });
}

QString AppLanguagePicker::selection() const
{
    return m_combo->currentData().toString();
}
