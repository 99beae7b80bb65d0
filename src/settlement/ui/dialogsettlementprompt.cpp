#include "settlement/ui/dialogsettlementprompt.h"

#include <utility>

#include "settlement/ui/settlementdialog.h"

namespace vorel {

DialogSettlementPrompt::DialogSettlementPrompt(QString settingsPath, QWidget *owner, bool simplifiedChinese)
    : settingsPath_(std::move(settingsPath)), owner_(owner), simplifiedChinese_(simplifiedChinese)
{
}

DialogSettlementPrompt::~DialogSettlementPrompt() = default;

bool DialogSettlementPrompt::settle(const SettlementRequest &request)
{
    if (!dialog_) {
        if (owner_) {
            dialog_ = new SettlementDialog(settingsPath_, owner_, simplifiedChinese_);
        } else {
            unowned_ = std::make_unique<SettlementDialog>(settingsPath_, nullptr, simplifiedChinese_);
            dialog_ = unowned_.get();
        }
    }
    dialog_->prepareSettlement(request);
    return dialog_->exec() == QDialog::Accepted;
}

QString DialogSettlementPrompt::fieldText(SettlementField field) const
{
    return dialog_ ? dialog_->fieldText(field) : QString();
}

} // namespace vorel
