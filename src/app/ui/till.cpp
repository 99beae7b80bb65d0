#include "app/ui/till.h"

#include "app/tillshoplink.h"
#include "core/terminalsettings.h"
#include "members/ui/tiv7001_1.h"
#include "sales/ui/memberdialogboxes.h"
#include "sales/ui/ts009.h"
#include "settlement/ui/dialogsettlementprompt.h"
#include "settlement/ui/settlementdialog.h"

namespace vorel {

namespace {

// The dialogs of the till, owned by the sales screen's window.
class WindowDialogs final : public TillDialogFactory {
public:
    WindowDialogs(QWidget &window, const TillParts &parts) : window_(window), parts_(parts) {}

    std::unique_ptr<ItemPicker> itemPicker() override { return std::make_unique<DialogItemPicker>(&window_); }
    std::unique_ptr<MemberDialogs> memberDialogs(MemberEditor &editor) override
    {
        Messages &messages = parts_.messages;
        return std::make_unique<MemberDialogBoxes>(
            parts_.link.service(), messages,
            [&editor, &messages](QWidget *owner) { return TIV7001_1::addMember(editor, messages, owner); }, &window_);
    }
    std::unique_ptr<SettlementPrompt> settlementPrompt() override
    {
        return std::make_unique<DialogSettlementPrompt>(parts_.settings.path(), &window_);
    }

private:
    QWidget &window_;
    const TillParts &parts_;
};

} // namespace

Till::Till(const TillParts &parts) : form_(std::make_unique<TMainForm>())
{
    WindowDialogs dialogs(*form_, parts);
    controller_ = std::make_unique<TillController>(parts, dialogs);
    form_->attach(*controller_);
}

Till::~Till()
{
    // The window and everything that draws the sale go first; the dialogs the controller
    // keeps only point at the window and are never shown again.
    form_.reset();
}

} // namespace vorel
