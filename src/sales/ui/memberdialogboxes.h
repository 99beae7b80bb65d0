#pragma once
// The member commands' dialogs on screen: the picker and the redemption dialog of the sales
// screen, and the member editor, which lives with the members and is handed in by whoever
// builds the sales screen.

#include <QPointer>
#include <QWidget>
#include <functional>

#include "sales/memberdesk.h"

namespace vorel {

class Messages;
class ShopService;

class MemberDialogBoxes final : public MemberDialogs {
public:
    // Opens the member editor for a new card and returns the text it leaves.
    using EditorLauncher = std::function<QString(QWidget *parent)>;

    MemberDialogBoxes(ShopService &shop, Messages &messages, EditorLauncher addMember, QWidget *parent);

    std::optional<int> pickMember(const ResultSet &cards) override;
    QString addMember() override;
    std::optional<RedemptionOffer> chooseRedemption(const RedemptionRequest &request) override;

private:
    ShopService &shop_;
    Messages &messages_;
    EditorLauncher addMember_;
    QPointer<QWidget> parent_;
};

} // namespace vorel
