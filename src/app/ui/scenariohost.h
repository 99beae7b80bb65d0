#pragma once
// What the scenario runner needs from the main window: the sales screen to find controls in,
// the texts and grid lines it shows, the connection state and a way to move the till's time.

#include <QList>
#include <QString>
#include <utility>

class QWidget;

namespace vorel {

class ScenarioHost {
public:
    virtual ~ScenarioHost() = default;
    // The sales screen; hidden until the cashier has logged in.
    virtual QWidget *screen() = 0;
    // The visible labels and edits of the screen as (objectName, text), in screen order.
    virtual QList<std::pair<QString, QString>> screenLabels() = 0;
    // The grid's lines, each as (field, value) pairs in column order.
    virtual QList<QList<std::pair<QString, QString>>> gridRows() = 0;
    virtual bool offline() const = 0;
    // Moves the till's clock on and lets its timers see the new time.
    virtual void advanceTime(int seconds) = 0;
};

} // namespace vorel
