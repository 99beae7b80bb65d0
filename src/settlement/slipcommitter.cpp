#include "settlement/slipcommitter.h"

#include <QThread>
#include <algorithm>

#include "core/messages.h"
#include "core/session.h"
#include "core/shopservice.h"
#include "core/terminalsettings.h"
#include "offline/connection.h"
#include "printing/devices.h"
#include "sales/membercommands.h"
#include "sales/sale.h"
#include "shift/shiftrule.h"

namespace vorel {

const QString SlipCommitter::TopUpFailedText = QStringLiteral("充值不成功，请重新保存!");
const QString SlipCommitter::NoOfflineMarker = QStringLiteral("关闭离线功能");
const QString SlipCommitter::DuplicateMarker = QStringLiteral("PK_D712");

const QString SettlementSummary::SaleTitle = QStringLiteral("应  收");
const QString SettlementSummary::TopUpTitle = QStringLiteral("充  值");

namespace {

const QString AddOperation = QStringLiteral("Add");
const QString TopUpKey = QStringLiteral("E");
constexpr QChar ChangeIndicator(u'4');

// Keys are ignored for as long as a slip is on its way.
class InputLock {
public:
    explicit InputLock(SlipScreen &screen) : screen_(screen) { screen_.setInputLocked(true); }
    ~InputLock() { screen_.setInputLocked(false); }
    InputLock(const InputLock &) = delete;
    InputLock &operator=(const InputLock &) = delete;

private:
    SlipScreen &screen_;
};

} // namespace

SettlementSummary makeSettlementSummary(const QString &title, const SettlementRequest &request,
                                        const std::array<QString, SettlementFieldCount> &texts, int decimals,
                                        bool eps)
{
    struct Shown {
        SettlementField field;
        QString caption;
        bool shown;
    };
    const Shown rows[] = {
        {SettlementField::AmountDue, title, true},
        {SettlementField::RoundOff, QStringLiteral("抹  零  "), request.roundOff},
        {SettlementField::Voucher, QStringLiteral("现金券  "), request.voucher},
        {SettlementField::StoredValue, QStringLiteral("储值卡  "), request.storedValue},
        {SettlementField::BankCard, eps ? QStringLiteral("E P S   ") : QStringLiteral("银  联  "), request.bankCard},
        {SettlementField::Cash, QStringLiteral("现  金  "), true},
        {SettlementField::Change, QStringLiteral("找  零  "), true},
    };
    QList<SettlementSummary::Row> out;
    int width = 0;
    for (const Shown &row : rows) {
        if (!row.shown)
            continue;
        const QString figure = formatFixed(Settlement::moneyOfText(texts[static_cast<int>(row.field)]), 0, decimals);
        width = std::max(width, int(figure.size()));
        out.append({row.caption, figure});
    }
    for (SettlementSummary::Row &row : out)
        row.amount = row.amount.rightJustified(width);
    return {out};
}

SlipCommitter::SlipCommitter(const SlipCommitParts &parts)
    : connection_(parts.connection)
    , settings_(parts.settings)
    , sale_(parts.sale)
    , members_(parts.members)
    , screen_(parts.screen)
    , prompt_(parts.prompt)
    , devices_(parts.devices)
    , printer_(parts.printer)
    , messages_(parts.messages)
    , pause_(parts.pause)
    , numbers_(parts.connection.session(), parts.settings, parts.messages)
    , date_(parts.clock)
{
}

Session &SlipCommitter::session() const
{
    return connection_.session();
}

void SlipCommitter::pause(int ms) const
{
    if (ms <= 0)
        return;
    if (pause_)
        pause_(ms);
    else
        QThread::msleep(static_cast<unsigned long>(ms));
}

SettlementRequest SlipCommitter::request(bool editable, bool storedValue, bool voucher) const
{
    const bool online = !connection_.isOffline();
    SettlementRequest r;
    r.amountDue = sale_.labels().total;
    r.balance = members_.card().balance.toPlainString();
    r.editable = editable;
    r.dark = screen_.darkPanel();
    r.bankCard = settings_.tenderBankCard();
    r.storedValue = storedValue && settings_.tenderStoredValue() && online && members_.card().selected();
    r.voucher = voucher && settings_.tenderCashVoucher();
    r.roundOff = settings_.tenderRoundOff();
    r.online = online;
    r.decimals = session().formats.amountDecimals;
    return r;
}

void SlipCommitter::readAmounts()
{
    for (int i = 0; i < SettlementFieldCount; ++i)
        amounts_[i] = prompt_.fieldText(SettlementField(i));
}

SlipCommitter::Outcome SlipCommitter::bsBtn01Click()
{
    if (sale_.isEmpty())
        return Outcome::NothingToSettle;
    const Session &s = session();
    if (!shift::maySell(s)) {
        screen_.showStatus(shift::NotOnDutyText);
        return Outcome::NotOnDuty;
    }
    const Money total = sale_.amounts().total;
    if (total <= Money() && !s.terminal.rights.has(CashierRight::Returns))
        return Outcome::NoRight;

    // A points exchange that leaves nothing to pay settles without tenders.
    const bool exchange = sale_.findLine(LineKind::Redemption) >= 0 && total <= Money();
    const SettlementRequest settlement = request(!exchange, true, true);
    if (!prompt_.settle(settlement))
        return Outcome::Cancelled;
    readAmounts();

    const bool practice = screen_.practiceMode();
    if (practice)
        batch_ = buildBatch(); // for the receipt's points only: nothing is sent
    else if (!send())
        return Outcome::Refused;
    finishSale(settlement, practice);
    return practice ? Outcome::Practised : Outcome::Committed;
}

QString SlipCommitter::BuildSlipSql()
{
    batch_ = buildBatch();
    return batch_.sql;
}

SlipBatch SlipCommitter::buildBatch()
{
    const Session &s = session();
    const MemberCard &card = members_.card();
    const bool online = !connection_.isOffline();

    SlipBatchInput in;
    in.number = numbers_.number();
    in.warehouseId = s.terminal.warehouseId;
    in.terminalId = s.terminal.terminalId;
    in.userId = s.identity.userId;
    in.date = date_.forSlip();
    sale_.setSlipDate(in.date);
    in.vipId = card.vipId;
    in.vipZk = card.rate.toPlainString();
    in.salesperson = sale_.salesperson();
    in.amounts = amounts_;
    in.online = online;
    in.periodCheck = s.connection.net == 1 ? s.company.checkDate : online;
    in.redeemPoints = members_.redeemPoints();
    in.pointsPerUnit = s.company.vipf;

    SlipBatch batch = buildSlipBatch(in, sale_);
    slipPoints_ = batch.slipPoints;
    memberPoints_ = batch.pointsEarned ? card.points : 0;
    return batch;
}

Route SlipCommitter::routeForSlip() const
{
    // A stored-value payment must reach the server: the card's balance lives there.
    if (Settlement::moneyOfText(amounts_[static_cast<int>(SettlementField::StoredValue)]) > Money())
        return Route::ServerOnly;
    return connection_.currentRoute();
}

bool SlipCommitter::send()
{
    batch_ = buildBatch();
    if (batch_.raised)
        sale_.showZeroTotal();
    QString result;
    for (int attempt = 0; attempt < Attempts && result != ReplyOk; ++attempt) {
        {
            const InputLock lock(screen_);
            result = connection_.execServerSql({opcode::Slip, numbers_.number(), AddOperation}, batch_.sql, routeForSlip());
        }
        if (result == ReplyOk)
            break;
        if (result.contains(DuplicateMarker)) {
            numbers_.repair(connection_);
            sale_.setSlipNumber(numbers_.number());
            batch_ = buildBatch();
        }
        if (result.contains(NoOfflineMarker)) {
            messages_.notice(result);
            return false;
        }
        if (result == ReplyError) {
            // The local store names no constraint: a number it already holds is moved past
            // here, as the server's duplicate is above.
            if (connection_.isOffline() && numbers_.moveForward(connection_))
                sale_.setSlipNumber(numbers_.number());
            batch_ = buildBatch();
        }
    }
    if (result != ReplyOk) {
        messages_.notice(result);
        return false;
    }
    return true;
}

void SlipCommitter::finishSale(const SettlementRequest &settlement, bool practice)
{
    const Session &s = session();
    const int decimals = s.formats.amountDecimals;
    summary_ = makeSettlementSummary(SettlementSummary::SaleTitle, settlement, amounts_, decimals,
                                     prompt_.bankCardReadsEps());
    screen_.showSummary(summary_);

    devices_.openDrawer(false);
    const Money change = Settlement::moneyOfText(amounts_[static_cast<int>(SettlementField::Change)]);
    devices_.showOnDisplay(ChangeIndicator, formatFixed(change, 18, decimals).trimmed());
    if (s.devices.displayEnabled)
        pause(DisplayPauseMs);

    if (screen_.printToggle() && s.devices.printerEnabled) {
        pause(qRound(s.devices.pauseAfterReceipt * 1000.0));
        printer_.print(committedSlip());
    }

    if (shift::countsTowardsShift(s, practice)) {
        const QString total = batch_.raised ? QStringLiteral("0") : sale_.labels().total;
        connection_.execServerSql({opcode::Read, QString(), AddOperation},
                                  shift::shiftTotalsSql(sale_.labels().quantity, amounts_, total), Route::Local);
    }
    awaitingNextSlip_ = true;
    advanceOnDismiss_ = !practice;
}

CommittedSlip SlipCommitter::committedSlip() const
{
    const Session &s = session();
    CommittedSlip slip;
    slip.number = numbers_.number();
    slip.date = date_.text();
    slip.terminal = s.terminal.terminalId;
    slip.userId = s.identity.userId;
    slip.salesperson = sale_.salesperson();
    slip.vipId = members_.card().vipId;
    slip.lines = sale_.lines();
    slip.amounts = amounts_;
    slip.slipPoints = slipPoints_;
    slip.accumulatedPoints = memberPoints_ + slipPoints_;
    slip.tagTotal = sale_.totals().tagTotal;
    slip.saving = sale_.labels().saving;
    return slip;
}

void SlipCommitter::summaryDismissed()
{
    if (!awaitingNextSlip_)
        return;
    StartNewSlip(false, advanceOnDismiss_);
}

void SlipCommitter::StartNewSlip(bool keepLines, bool advance)
{
    numbers_.start(advance);
    screen_.resetForNewSlip();
    sale_.setSlipNumber(numbers_.number());
    sale_.setSalesperson(QString());
    members_.clearForNewSale();
    if (!keepLines)
        sale_.clear();
    awaitingNextSlip_ = false;
}

SlipCommitter::Outcome SlipCommitter::settleTopUpNow()
{
    const SettlementRequest settlement = request(true, false, false);
    if (!prompt_.settle(settlement)) {
        StartNewSlip(false, false);
        return Outcome::Cancelled;
    }
    readAmounts();

    const bool practice = screen_.practiceMode();
    if (practice) {
        StartNewSlip(false, false);
    } else {
        const Session &s = session();
        TopUpInput in;
        in.number = numbers_.number();
        in.warehouseId = s.terminal.warehouseId;
        in.terminalId = s.terminal.terminalId;
        in.userId = s.identity.userId;
        in.vipId = members_.card().vipId;
        in.total = sale_.labels().total;
        in.amounts = amounts_;
        batch_ = SlipBatch{buildTopUpSql(in), sale_.lines(), 0, false, false};
        QString result;
        {
            const InputLock lock(screen_);
            result = connection_.execServerSql({opcode::Plain, TopUpKey}, batch_.sql, Route::ServerOnly);
        }
        if (result != ReplyOk) {
            const int row = sale_.findLine(LineKind::TopUp);
            if (row >= 0)
                sale_.removeLine(row);
            sale_.refreshTotals();
            screen_.showStatus(TopUpFailedText);
            return Outcome::Refused;
        }
        StartNewSlip(false, true);
    }
    devices_.openDrawer(false);
    // Like a sale's, the summary stays until the next key. The top-up took its number and
    // moved on already, so that key starts no further number: the slips stay gapless.
    awaitingNextSlip_ = true;
    advanceOnDismiss_ = false;
    summary_ = makeSettlementSummary(SettlementSummary::TopUpTitle, settlement, amounts_,
                                     session().formats.amountDecimals, prompt_.bankCardReadsEps());
    screen_.showSummary(summary_);
    return practice ? Outcome::Practised : Outcome::Committed;
}

} // namespace vorel
