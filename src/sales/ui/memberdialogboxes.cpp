#include "sales/ui/memberdialogboxes.h"

#include "sales/ui/redemptiondialog.h"
#include "sales/ui/memberpickerdialog.h"

namespace vorel {

MemberDialogBoxes::MemberDialogBoxes(ShopService &shop, Messages &messages, EditorLauncher addMember,
                                     QWidget *parent)
    : shop_(shop), messages_(messages), addMember_(std::move(addMember)), parent_(parent)
{
}

std::optional<int> MemberDialogBoxes::pickMember(const ResultSet &cards)
{
    return MemberPickerDialog::pick(cards, parent_);
}

QString MemberDialogBoxes::addMember()
{
    return addMember_ ? addMember_(parent_) : QString();
}

std::optional<RedemptionOffer> MemberDialogBoxes::chooseRedemption(const RedemptionRequest &request)
{
    return RedemptionDialog::choose(shop_, messages_, request, parent_);
}

} // namespace vorel
