#pragma once
// What the sales screen does with the synchronisation and the recent slips: the refusals of
// F5 and F3, the automatic run after an online login, what the help line then says, and the
// switch to offline the synchronisation dialog offers. The dialogs themselves sit behind
// OfflineScreens, so this runs in tests without a screen.

#include <QString>
#include <optional>

#include "core/resultset.h"
#include "offline/synchroniser.h"

namespace vorel {

class Connection;
class TerminalSettings;

// How a synchronisation dialog closed.
struct SyncOutcome {
    enum Closed { Dismissed = 0, Synchronised = 1, SwitchedOffline = 5 };
    int closed = Dismissed;
    int result = Synchroniser::Done; // the run's result code
    QString summary;
};

class OfflineScreens {
public:
    virtual ~OfflineScreens() = default;
    // Shows TS005; automatic runs at once and closes by itself.
    virtual SyncOutcome synchronise(const SyncTerminal &terminal, bool automatic) = 0;
    // Shows TS006 with the terminal's recent slips; the chosen number, or none.
    virtual std::optional<QString> chooseSlip(const QString &prefix, const QString &terminalId) = 0;
};

class SyncDesk {
public:
    static const QString OfflineRefusedText;   // the shop does not let this till work offline
    static const QString WhileOfflineText;
    static const QString StandAloneText;
    static const QString NoRightText;
    static const QString ManualDoneText;       // followed by the summary
    static const QString SwitchedOfflineText;
    static const QString AutoDownloadFailedText;
    static const QString AutoUploadFailedText;
    static const QString AutoDoneText;         // followed by the summary
    static const QString SaleOpenText;         // F3 with lines in the sale

    SyncDesk(Connection &connection, TerminalSettings &settings, OfflineScreens &screens);

    // F5. `mayUse`: the cashier holds the synchronisation right. Returns the help-line text
    // (empty: nothing to say). After a switch to offline, switchedOffline() is true.
    QString synchroniseOnRequest(bool mayUse);
    // The first activation after a login: runs only when the shop allows offline work,
    // `downloadAfterLogin` is set, the edition is the network one and the till is online.
    // Returns the help-line text, or nothing when no run was due.
    std::optional<QString> synchroniseAtStart(bool downloadAfterLogin);
    bool switchedOffline() const { return switchedOffline_; }

    // F3: the slip number chosen from the recent slips (the sale must be empty and the right
    // held; the caller shows the refusal text returned in `refusal`).
    std::optional<QString> chooseSlip(bool saleEmpty, bool mayQuery, QString *refusal);

private:
    SyncTerminal terminal() const;

    Connection &connection_;
    TerminalSettings &settings_;
    OfflineScreens &screens_;
    bool switchedOffline_ = false;
};

// The ten most recent slips of the terminal for TS006: from the shop when online, from the
// local store offline (uploaded or not, as long as they are kept), oldest first.
class RecentSlips {
public:
    static const QString DeleteQuestion;

    explicit RecentSlips(Connection &connection);

    void load(const QString &terminalId);
    ResultSet &rows() { return rows_; }
    bool offline() const;
    // Delete is offered offline only, and only with a slip to delete.
    bool canDelete() const;
    // Removes the slip and its lines from the local store (never from the shop) and its row
    // from the list. False when the store refused.
    bool remove(int row);

private:
    Connection &connection_;
    ResultSet rows_;
};

} // namespace vorel
