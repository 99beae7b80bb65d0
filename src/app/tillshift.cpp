#include "app/tillshift.h"

#include "app/actionregistry.h"
#include "app/saleskeys.h"
#include "core/session.h"
#include "printing/sessionreceiptprinter.h"
#include "sales/sale.h"
#include "shift/salesquery.h"

namespace vorel {

const QString TillShift::QueryRefusedText = QStringLiteral("当前还有未处理的销售业务!请处理后再进行查询!");

TillShift::TillShift(const TillShiftParts &parts)
    : session_(parts.session), sale_(parts.sale), keys_(parts.keys), printer_(parts.printer), view_(parts.view),
      desk_(std::make_unique<shift::ShiftDesk>(
          shift::ShiftDeskParts{parts.session, parts.connection, parts.clock, parts.messages, *this})),
      query_(std::make_unique<shift::SalesQuery>(parts.session, parts.connection, parts.clock))
{
    parts.registry.add({Qt::Key_F4, Qt::NoModifier, std::nullopt, {}, [this] { desk_->handover(); }},
                       KeyHelpCell{3, 0, QStringLiteral(" F4  交班   ")});
    parts.registry.add({Qt::Key_F8, Qt::NoModifier, CashierRight::QuerySlips, {}, [this] {
                            if (saleOpen())
                                view_.showHelpText(QueryRefusedText);
                            else if (openQuery_)
                                openQuery_();
                        }},
                       KeyHelpCell{1, 1, QStringLiteral("F8  明细")});
}

TillShift::~TillShift() = default;

QString TillShift::slipNumberShown() const
{
    return sale_.slipNumber();
}

QString TillShift::cashierShown() const
{
    return session_.identity.userId;
}

bool TillShift::saleOpen() const
{
    return !sale_.isEmpty();
}

bool TillShift::printSwitch() const
{
    return keys_.printSwitch();
}

void TillShift::showStatus(const QString &text)
{
    view_.showHelpText(text);
}

void TillShift::showShiftName(const QString &name)
{
    if (showShiftName_)
        showShiftName_(name);
}

bool TillShift::printVoucher(const QString &text)
{
    // A plain-text receipt: no templates, and the drawer stays shut.
    ReceiptRequest r;
    r.due = text;
    r.printerPort = session_.devices.printerPort;
    r.paperWidth = session_.devices.paperWidth;
    r.driver = session_.devices.driverPrinting;
    return printer_.RenderReceipt(r);
}

void TillShift::logout()
{
    if (logout_)
        logout_();
}

} // namespace vorel
