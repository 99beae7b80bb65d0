#pragma once
// The keys of the sales screen as one table. Every part of the till that owns a key registers
// it here with the right it needs, its handler and its line in the key help (F1); the screen
// only hands key presses to it. A new screen adds its keys with one registration and touches
// no switch, no interface and no window.

#include <QHash>
#include <QString>
#include <QStringList>
#include <Qt>
#include <functional>
#include <optional>

#include "core/session.h"

namespace vorel {

// One cell of the key help: the panel is a list of lines, and a line may hold two cells
// (the function keys stand in two columns).
struct KeyHelpCell {
    int line = 0;
    int column = 0;
    QString text;
};

struct KeyAction {
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier; // only Ctrl keys use this
    std::optional<CashierRight> right;                // checked before the handler runs
    QString refusal;                                  // shown without the right; empty: the usual refusal
    // The work. Empty for a key whose screen is not part of this till yet: the key does
    // nothing and goes on to the command line.
    std::function<void()> run;
    // The key goes on to the command line after its work (Ctrl+H).
    bool passOn = false;
};

class ActionRegistry {
public:
    // Adds a key; a second registration of the same key replaces the first.
    void add(KeyAction action, std::optional<KeyHelpCell> help = std::nullopt);
    // A line of the key help that belongs to no key (the typed commands).
    void addHelp(KeyHelpCell help);

    const KeyAction *find(int key, Qt::KeyboardModifiers modifiers) const;
    // The lines of the key help, in order, cells of a line joined left to right.
    QStringList helpLines() const;

private:
    static quint64 code(int key, Qt::KeyboardModifiers modifiers);

    QHash<quint64, KeyAction> actions_;
    QList<KeyHelpCell> help_;
};

} // namespace vorel
