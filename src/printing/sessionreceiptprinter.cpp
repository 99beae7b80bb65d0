#include "printing/sessionreceiptprinter.h"

#include "core/clock.h"
#include "core/messages.h"
#include "core/session.h"
#include "printing/devices.h"
#include "printing/receiptpage.h"

namespace vorel {

namespace {

QString orZero(const QString &text) { return text.trimmed().isEmpty() ? QStringLiteral("0") : text; }

} // namespace

ReceiptLine receiptLine(const SaleLine &l)
{
    return {l.tm(), l.wlId(), l.wlName(), l.dwName(), l.wlGg(), l.sl(), l.sj(), l.smoney(), l.zk(), l.note()};
}

SessionReceiptPrinter::SessionReceiptPrinter(Session &session, Devices &devices, Messages &messages,
                                             const Clock &clock)
    : session_(session), devices_(devices), messages_(messages), clock_(clock)
{
}

ReceiptRequest SessionReceiptPrinter::requestFor(const CommittedSlip &slip) const
{
    const auto amount = [&](SettlementField f) { return orZero(slip.amounts[static_cast<int>(f)]); };
    ReceiptRequest r;
    QList<ReceiptLine> lines;
    for (const SaleLine &line : slip.lines)
        lines.append(receiptLine(line));
    r.lines = lines;
    r.due = amount(SettlementField::AmountDue);
    r.roundOff = amount(SettlementField::RoundOff);
    r.voucher = amount(SettlementField::Voucher);
    r.storedValue = amount(SettlementField::StoredValue);
    r.bankCard = amount(SettlementField::BankCard);
    r.cash = amount(SettlementField::Cash);
    r.change = amount(SettlementField::Change);
    r.heading = session_.templates.posTop;
    r.footing = session_.templates.posEnd;
    r.lineTemplate = session_.templates.posDe;
    r.slipNumber = slip.number;
    r.slipDate = slip.date;
    r.terminal = slip.terminal;
    r.cashier = slip.userId;
    r.salesperson = slip.salesperson;
    r.printerPort = session_.devices.printerPort;
    r.paperWidth = session_.devices.paperWidth;
    r.driver = session_.devices.driverPrinting;
    r.memberCard = slip.vipId;
    r.accumulatedPoints = QString::number(slip.accumulatedPoints);
    r.slipPoints = QString::number(slip.slipPoints);
    r.tagTotal = slip.tagTotal.toString(4);
    r.discountTotal = orZero(slip.saving);
    return r;
}

void SessionReceiptPrinter::print(const CommittedSlip &slip) { RenderReceipt(requestFor(slip)); }

bool SessionReceiptPrinter::RenderReceipt(const ReceiptRequest &request)
{
    const ReceiptEnvironment env{session_.formats.amountDecimals, session_.connection.offline, clock_.now()};
    try {
        last_ = renderReceipt(request, env);
    } catch (const ReceiptNumberError &e) {
        last_ = {};
        messages_.notice(e.message());
        return false;
    }
    if (request.driver)
        session_.templates.receiptTitle = last_.title;
    return output(request);
}

bool SessionReceiptPrinter::output(const ReceiptRequest &request)
{
    const Session::Devices &d = session_.devices;
    const int width = request.paperWidth > 0 ? request.paperWidth : d.paperWidth;
    const int titleFont = request.titleFontSize > 0 ? request.titleFontSize : d.titleFontSize;
    const int lineFont = request.lineFontSize > 0 ? request.lineFontSize : d.lineFontSize;
    switch (receiptOutput(request, d.printerEnabled, pages_ != nullptr)) {
    case ReceiptOutput::Nothing:
        return true;
    case ReceiptOutput::MessageBox:
        messages_.notice(last_.text());
        return true;
    case ReceiptOutput::Raw:
        return devices_.rawPrint(last_.text(), request.printerPort);
    case ReceiptOutput::DriverPrint:
        return toPages(driverReceiptPage(last_, width, titleFont, lineFont), false);
    case ReceiptOutput::DriverPreview:
        return toPages(driverReceiptPage(last_, width, titleFont, lineFont), true);
    case ReceiptOutput::Preview:
        return toPages(previewReceiptPage(last_, width, lineFont), true);
    }
    return false;
}

bool SessionReceiptPrinter::toPages(const ReceiptPage &page, bool preview)
{
    QString error;
    const bool done = preview ? pages_->preview(page, &error) : pages_->print(page, &error);
    if (!done)
        messages_.notice(error);
    return done;
}

} // namespace vorel
