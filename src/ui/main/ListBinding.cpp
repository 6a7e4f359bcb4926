#include "ui/main/ListBinding.h"

namespace ListBinding {

QString shown(const QStringList &items)
{
    return items.join(QStringLiteral(", "));
}

QStringList parsed(const QString &text)
{
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    QStringList result;
    for (const QString &piece : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        qsizetype from = 0;
        qsizetype to = piece.size();
        while (from < to && blank(piece[from]))
            ++from;
        while (to > from && blank(piece[to - 1]))
            --to;
        if (to > from)
            result.append(piece.mid(from, to - from));
    }
    return result;
}

} // namespace ListBinding

ListField::ListField(Get get, Set set, QWidget *parent)
    : QLineEdit(parent), m_get(std::move(get)), m_set(std::move(set))
{
    setText(ListBinding::shown(m_get()));
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_set(ListBinding::parsed(text)); });
}

void ListField::refresh()
{
    if (hasFocus())
        return;
    const QString want = ListBinding::shown(m_get());
    if (text() != want)
        setText(want);
}

void ListField::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    const QString want = ListBinding::shown(m_get());
    if (text() != want)
        setText(want);
}
