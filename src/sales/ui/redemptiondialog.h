#pragma once
// The points redemption dialog TS013 "积分换购设定": the offers of d705 read from the shop server,
// the card and its points in the header. Up and Down run round the list; OK, Enter or a
// double click takes the current offer when the member may have it.

#include <optional>

#include "core/ui/resultsetpicker.h"
#include "sales/redemption.h"

namespace vorel {

class Messages;
class ShopService;

class RedemptionDialog : public ResultSetPicker {
    Q_OBJECT
public:
    // Reads the offers at once. The message boxes must outlive the dialog.
    RedemptionDialog(ShopService &shop, Messages &messages, const RedemptionRequest &request, QWidget *parent = nullptr);

    // The offer taken, nullopt until one was.
    const std::optional<RedemptionOffer> &chosen() const { return chosen_; }

    static std::optional<RedemptionOffer> choose(ShopService &shop, Messages &messages,
                                                 const RedemptionRequest &request, QWidget *parent = nullptr);

protected:
    bool take(int row) override;

private:
    Messages &messages_;
    RedemptionRequest request_;
    ResultSet offers_;
    std::optional<RedemptionOffer> chosen_;
};

} // namespace vorel
