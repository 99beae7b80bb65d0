#include "app/slipdesk.h"

#include "app/actionregistry.h"
#include "app/saleskeys.h"
#include "core/session.h"
#include "offline/syncdesk.h"
#include "printing/receiptprinter.h"
#include "printing/sessionreceiptprinter.h"
#include "sales/heldsales.h"
#include "sales/memberdesk.h"
#include "sales/sale.h"
#include "settlement/slipcommitter.h"

namespace vorel {

SlipDesk::SlipDesk(const SlipDeskParts &parts)
    : session_(parts.session), sale_(parts.sale), members_(parts.members), committer_(parts.committer),
      printer_(parts.printer), syncDesk_(parts.syncDesk), registry_(parts.registry), view_(parts.view),
      showCashier_(parts.showCashier), recall_(parts.connection),
      held_(std::make_unique<HeldSales>(parts.folder, parts.connection, parts.sale, parts.members, parts.picker))
{
    registerKeys();
}

SlipDesk::~SlipDesk() = default;

void SlipDesk::registerKeys()
{
    ActionRegistry &r = registry_;
    r.add({Qt::Key_PageDown, Qt::NoModifier, CashierRight::HoldSale, {}, [this] {
               const bool holding = !sale_.isEmpty();
               const QString text = held_->holdOrRetrieve();
               if (holding && !text.isEmpty())
                   view_.clearCommandLine();
               if (!text.isEmpty())
                   view_.showHelpText(text);
           }},
          KeyHelpCell{24, 0, QStringLiteral(" [PgDn  ] 挂单/取单")});
    r.add({Qt::Key_PageUp, Qt::NoModifier, std::nullopt, {}, [this] {
               if (!sale_.isEmpty()) {
                   view_.showHelpText(SyncDesk::SaleOpenText);
                   return;
               }
               recall(recall_.lastNumber(session_.terminal.terminalId));
           }},
          KeyHelpCell{23, 0, QStringLiteral(" [PgUp  ] 上一单")});
    // The slip list keeps its own refusals, in their own order.
    r.add({Qt::Key_F3, Qt::NoModifier, std::nullopt, {}, [this] {
               QString refusal;
               const std::optional<QString> noid = syncDesk_.chooseSlip(
                   sale_.isEmpty(), session_.terminal.rights.has(CashierRight::QuerySlips), &refusal);
               if (!refusal.isEmpty())
                   view_.showHelpText(refusal);
               else if (noid)
                   recall(*noid);
           }},
          KeyHelpCell{2, 0, QStringLiteral(" F3  查单   ")});
    r.add({Qt::Key_F9, Qt::NoModifier, std::nullopt, {}, [this] {
               if (session_.devices.printerEnabled)
                   reprintLast();
           }},
          KeyHelpCell{2, 1, QStringLiteral("F9  重打")});
}

bool SlipDesk::recall(const QString &number)
{
    std::optional<RecalledSlip> slip = recall_.read(number);
    if (!slip) {
        view_.showHelpText(SlipRecall::NoSlipText);
        return false;
    }
    sale_.clear();
    members_.clearForNewSale();
    for (const SaleLine &line : slip->lines)
        sale_.appendLine(line);
    sale_.setSlipNumber(slip->number);
    sale_.setSalesperson(slip->salesperson);
    MemberCard card;
    card.vipId = slip->vipId;
    // A factor of 1 is no member discount: the label stays empty.
    const std::optional<Money> rate = Money::parse(slip->vipZk);
    card.rate = rate.value_or(Money::fromUnits(1));
    members_.restoreCard(card);
    sale_.setMember(card.selected(), card.rate);
    const int redemption = sale_.findLine(LineKind::Redemption);
    if (redemption >= 0)
        sale_.restoreRedemption(sale_.line(redemption).smoney());
    sale_.refreshTotals();
    if (showCashier_)
        showCashier_(slip->userId);
    shown_ = std::move(slip);
    view_.showHelpText(SlipRecall::QueryHelpText);
    return true;
}

bool SlipDesk::queryKey(int key)
{
    if (!shown_)
        return false;
    if (key == Qt::Key_F9) {
        if (session_.devices.printerEnabled)
            reprint(*shown_, false);
    } else if (key == Qt::Key_F10) {
        reprint(*shown_, true);
    } else {
        leaveQuery();
    }
    return true;
}

void SlipDesk::leaveQuery()
{
    shown_.reset();
    committer_.StartNewSlip(false, false);
    sale_.refreshTotals();
}

CommittedSlip SlipDesk::receiptOf(const RecalledSlip &slip)
{
    CommittedSlip c;
    c.number = slip.number;
    c.date = slip.date;
    c.terminal = slip.terminal;
    c.userId = slip.userId;
    c.salesperson = slip.salesperson;
    c.vipId = slip.vipId;
    c.lines = slip.lines;
    c.amounts = slip.amounts;
    c.accumulatedPoints = slip.memberPoints.toLongLong();
    c.slipPoints = slip.slipPoints.toLongLong();
    c.tagTotal = Money::parse(slip.tagTotal).value_or(Money());
    c.saving = slip.saving;
    return c;
}

void SlipDesk::reprint(const RecalledSlip &slip, bool showOnly)
{
    // Read again: the header may have changed since it was shown (points, upload).
    const std::optional<RecalledSlip> fresh = recall_.read(slip.number);
    RecalledSlip printed = fresh.value_or(slip);
    printed.lines = slip.lines;
    ReceiptRequest request = printer_.requestFor(receiptOf(printed));
    request.showOnly = showOnly;
    printer_.RenderReceipt(request);
}

void SlipDesk::reprintLast()
{
    const std::optional<RecalledSlip> slip = recall_.read(recall_.lastNumber(session_.terminal.terminalId));
    if (!slip) {
        view_.showHelpText(SlipRecall::NoLastSlipText);
        return;
    }
    reprint(*slip, false);
}

} // namespace vorel
