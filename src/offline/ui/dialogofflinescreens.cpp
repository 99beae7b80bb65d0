#include "offline/ui/dialogofflinescreens.h"

#include "core/session.h"
#include "offline/connection.h"
#include "offline/ui/recentslipsdialog.h"
#include "offline/ui/syncdialog.h"

namespace vorel {

DialogOfflineScreens::DialogOfflineScreens(Connection &connection, ShopService &shop, TerminalSettings &settings,
                                           const Clock &clock, Messages &messages, QWidget *parent)
    : connection_(connection), shop_(shop), settings_(settings), clock_(clock), messages_(messages), parent_(parent)
{
}

SyncOutcome DialogOfflineScreens::synchronise(const SyncTerminal &terminal, bool automatic)
{
    Synchroniser sync(connection_.store(), shop_, settings_, clock_,
                      connection_.session().connection.serverTimeoutSeconds);
    SyncDialog dialog(sync, connection_.store(), messages_, terminal, automatic, parent_);
    dialog.setStartDelay(startDelayMs_);
    const int closed = dialog.exec();
    SyncOutcome outcome;
    outcome.closed = closed == SyncDialog::SynchronisedResult      ? SyncOutcome::Synchronised
                     : closed == SyncDialog::SwitchedOfflineResult ? SyncOutcome::SwitchedOffline
                                                                   : SyncOutcome::Dismissed;
    outcome.result = dialog.syncResult();
    outcome.summary = dialog.summary();
    return outcome;
}

std::optional<QString> DialogOfflineScreens::chooseSlip(const QString &prefix, const QString &terminalId)
{
    RecentSlips slips(connection_);
    RecentSlipsDialog dialog(slips, messages_, prefix, terminalId, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.slipNumber();
}

} // namespace vorel
