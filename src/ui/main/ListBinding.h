#pragma once

#include <QLineEdit>
#include <QStringList>
#include <functional>

// A comma-separated text field over a list of words ("Known words", "Languages").
namespace ListBinding {

// The items joined with ", ".
QString shown(const QStringList &items);
// Split at every comma; each piece trimmed of blanks and tabs; empty pieces dropped. Duplicates
// stay and line breaks are not separators.
QStringList parsed(const QString &text);

} // namespace ListBinding

// Every edit replaces the list at once; the field shows the list back in its joined form when
// the user leaves it, so half-typed separators are not yanked away mid-word.
class ListField : public QLineEdit
{
    Q_OBJECT
public:
    using Get = std::function<QStringList()>;
    using Set = std::function<void(const QStringList &)>;

    ListField(Get get, Set set, QWidget *parent = nullptr);

    // Shows the current list unless the user is typing in the field.
    void refresh();

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    Get m_get;
    Set m_set;
};
