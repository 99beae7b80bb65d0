#include "sales/ui/redemptiondialog.h"

#include <QHeaderView>
#include <QLabel>

#include "core/messages.h"
#include "core/shopservice.h"

namespace vorel {

RedemptionDialog::RedemptionDialog(ShopService &shop, Messages &messages, const RedemptionRequest &request, QWidget *parent)
    : ResultSetPicker({.wrapRound = true}, parent), messages_(messages), request_(request)
{
    setObjectName(QStringLiteral("TS013"));
    setWindowTitle(QStringLiteral("积分换购设定"));
    shop.openSql(offers_, RedemptionRequest::OffersSql);

    auto *notice = new QLabel(RedemptionRequest::NoticeText, this);
    notice->setObjectName(QStringLiteral("lab_notice"));
    auto *header = new QLabel(request_.header(), this);
    header->setObjectName(QStringLiteral("lab_head"));
    addAboveGrid(notice);
    addAboveGrid(header);

    setRows(offers_, {{QStringLiteral("积分"), QStringLiteral("VIPF")},
                      {QStringLiteral("代金"), QStringLiteral("VIPFM")},
                      {QStringLiteral("描述"), QStringLiteral("NOTE")}});
    grid()->horizontalHeader()->setStretchLastSection(true);
}

bool RedemptionDialog::take(int row)
{
    if (!offers_.setRecNo(row))
        return false;
    const RedemptionOffer offer = RedemptionOffer::fromRow(offers_);
    if (const std::optional<QString> refusal = request_.refusal(offer)) {
        messages_.notice(*refusal);
        return false;
    }
    chosen_ = offer;
    return true;
}

std::optional<RedemptionOffer> RedemptionDialog::choose(ShopService &shop, Messages &messages, const RedemptionRequest &request,
                                             QWidget *parent)
{
    RedemptionDialog dialog(shop, messages, request, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

} // namespace vorel
