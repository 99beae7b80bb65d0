#pragma once
// The member picker TS015 "会员选择": the cards a member search found, one to choose. Enter, OK or
// a double click takes the current card (and closes as cancelled when the list is empty),
// Escape cancels.

#include <optional>

#include "core/ui/resultsetpicker.h"

namespace vorel {

class MemberPickerDialog : public ResultSetPicker {
    Q_OBJECT
public:
    // `cards` must outlive the dialog.
    explicit MemberPickerDialog(const ResultSet &cards, QWidget *parent = nullptr);

    // The row of the cards taken, nullopt until one was.
    std::optional<int> chosen() const { return chosen_; }

    // Shows the picker over the cards; the row taken, nullopt when cancelled.
    static std::optional<int> pick(const ResultSet &cards, QWidget *parent = nullptr);

protected:
    bool take(int row) override;

private:
    std::optional<int> chosen_;
};

} // namespace vorel
