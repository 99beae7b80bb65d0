#include "sales/ui/memberdialogboxes.h"

#include "sales/ui/ts013.h"
#include "sales/ui/ts015.h"

namespace vorel {

MemberDialogBoxes::MemberDialogBoxes(ShopService &shop, Messages &messages, EditorLauncher addMember,
                                     QWidget *parent)
    : shop_(shop), messages_(messages), addMember_(std::move(addMember)), parent_(parent)
{
}

std::optional<int> MemberDialogBoxes::pickMember(const ResultSet &cards)
{
    return TS015::pick(cards, parent_);
}

QString MemberDialogBoxes::addMember()
{
    return addMember_ ? addMember_(parent_) : QString();
}

std::optional<RedemptionOffer> MemberDialogBoxes::chooseRedemption(const RedemptionRequest &request)
{
    return TS013::choose(shop_, messages_, request, parent_);
}

} // namespace vorel
