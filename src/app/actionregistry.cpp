#include "app/actionregistry.h"

#include <QMap>

namespace vorel {

quint64 ActionRegistry::code(int key, Qt::KeyboardModifiers modifiers)
{
    return (quint64(modifiers.toInt()) << 32) | quint32(key);
}

void ActionRegistry::add(KeyAction action, std::optional<KeyHelpCell> help)
{
    actions_.insert(code(action.key, action.modifiers), std::move(action));
    if (help)
        addHelp(std::move(*help));
}

void ActionRegistry::addHelp(KeyHelpCell help)
{
    help_.append(std::move(help));
}

const KeyAction *ActionRegistry::find(int key, Qt::KeyboardModifiers modifiers) const
{
    const auto it = actions_.constFind(code(key, modifiers));
    return it == actions_.constEnd() ? nullptr : &it.value();
}

QStringList ActionRegistry::helpLines() const
{
    QMap<int, QMap<int, QString>> lines;
    for (const KeyHelpCell &cell : help_)
        lines[cell.line][cell.column] += cell.text;
    QStringList out;
    for (const QMap<int, QString> &cells : std::as_const(lines))
        out << QStringList(cells.values()).join(QString());
    return out;
}

} // namespace vorel
