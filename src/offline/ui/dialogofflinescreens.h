#pragma once
// The synchronisation and recent-slips screens as real dialogs over the sales screen.

#include <QPointer>
#include <QWidget>

#include "offline/syncdesk.h"

namespace vorel {

class Clock;
class Connection;
class Messages;
class ShopService;
class TerminalSettings;

class DialogOfflineScreens final : public OfflineScreens {
public:
    DialogOfflineScreens(Connection &connection, ShopService &shop, TerminalSettings &settings, const Clock &clock,
                         Messages &messages, QWidget *parent);

    SyncOutcome synchronise(const SyncTerminal &terminal, bool automatic) override;
    std::optional<QString> chooseSlip(const QString &prefix, const QString &terminalId) override;

    // The pause before an automatic run (scenarios leave it out).
    void setStartDelay(int ms) { startDelayMs_ = ms; }

private:
    Connection &connection_;
    ShopService &shop_;
    TerminalSettings &settings_;
    const Clock &clock_;
    Messages &messages_;
    QPointer<QWidget> parent_;
    int startDelayMs_ = 1000;
};

} // namespace vorel
