#pragma once
// The command line's test bench: a sale rig with a network-edition session and every right,
// scripted member commands, settlement and item picker, and a connection over a given shop
// service and a fresh local store.

#include <QTemporaryDir>
#include <optional>
#include <ostream>

#include "core/shopservice.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "sales/commandline.h"
#include "sales/itempicker.h"
#include "sales/membercommands.h"
#include "sales/settlementlauncher.h"
#include "freshstore.h"
#include "salestestutil.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace vorel::test {

class ScriptedMembers final : public MemberCommands {
public:
    CommandResult choose(const QString &search) override { return called(QStringLiteral("choose:") + search); }
    CommandResult newCard() override { return called(QStringLiteral("newCard")); }
    CommandResult redeem() override { return called(QStringLiteral("redeem")); }
    CommandResult topUp(const QString &amount) override { return called(QStringLiteral("topUp:") + amount); }
    const MemberCard &card() const override { return card_; }
    qint64 redeemPoints() const override { return 0; }
    void clearForNewSale() override {}

    CommandResult reply = CommandResult::done();
    QStringList calls;

private:
    CommandResult called(const QString &what)
    {
        calls << what;
        return reply;
    }
    MemberCard card_;
};

class CountingSettlement final : public SettlementLauncher {
public:
    void settleSale() override { ++sales; }
    void settleTopUp() override { ++topUps; }
    int sales = 0;
    int topUps = 0;
};

// Takes a visible row (nullopt cancels), after switching the filter when told to ("" clears
// it), and keeps the barcodes it was shown.
class ScriptedPicker final : public ItemPicker {
public:
    bool pick(ResultSet &rows) override
    {
        if (filter && filter->isEmpty())
            rows.clearFilter();
        else if (filter)
            rows.setFilter(*filter);
        QStringList barcodes;
        for (int i = 0; i < rows.rowCount(); ++i) {
            rows.setRecNo(i);
            barcodes << rows.field(QStringLiteral("TM")).asString();
        }
        shown << barcodes;
        if (!take || *take >= rows.rowCount())
            return false;
        rows.setRecNo(*take);
        return true;
    }

    std::optional<int> take = 0;
    std::optional<QString> filter;
    QList<QStringList> shown;
};

struct CommandRig : SaleRig {
    explicit CommandRig(ShopService &shopService) : shop(shopService)
    {
        session.connection.net = 0;
        session.terminal.warehouseId = QStringLiteral("001");
        session.terminal.rights = CashierRights(rightsWithout());
    }

    ShopService &shop;
    QTemporaryDir storeDir;
    std::unique_ptr<LocalStore> store = freshLocalStore(storeDir);
    Connection connection{session, shop, *store};
    ScriptedMembers members;
    CountingSettlement settlement;
    ScriptedPicker picker;
    CommandLine cmd{{session, sale, pricing, connection, members, settlement, picker}};
};

} // namespace vorel::test
