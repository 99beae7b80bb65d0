#include "app/ui/till.h"

#include <QLabel>
#include <QLineEdit>

#include "app/tillshift.h"
#include "app/tillshoplink.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "members/ui/membereditordialog.h"
#include "offline/ui/dialogofflinescreens.h"
#include "sales/sale.h"
#include "sales/ui/memberdialogboxes.h"
#include "sales/ui/heldsalesdialog.h"
#include "sales/ui/itempickerdialog.h"
#include "settlement/ui/dialogsettlementprompt.h"
#include "settlement/ui/settlementdialog.h"
#include "shift/ui/salesquerydialog.h"
#include "shift/ui/shiftdialog.h"

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
            [&editor, &messages](QWidget *owner) { return MemberEditorDialog::addMember(editor, messages, owner); }, &window_);
    }
    std::unique_ptr<SettlementPrompt> settlementPrompt() override
    {
        return std::make_unique<DialogSettlementPrompt>(parts_.settings.path(), &window_);
    }
    std::unique_ptr<OfflineScreens> offlineScreens() override
    {
        return std::make_unique<DialogOfflineScreens>(parts_.link.connection(), parts_.link.service(), parts_.settings,
                                                      parts_.clock, parts_.messages, &window_);
    }
    std::unique_ptr<HeldSalePicker> heldSalePicker() override
    {
        return std::make_unique<DialogHeldSalePicker>(&window_);
    }

private:
    QWidget &window_;
    const TillParts &parts_;
};

// The labels and edits of the sales screen in screen order, as a scenario dumps them.
const char *const ScreenNames[] = {
    "LAB_TIT",  "bsLinkLab_Welcome", "WELCOM_BLACK", "bsLabZ01", "bsLabZ02",  "bsLabZ05",  "bsLabZ07",
    "bsLabZ03", "bdate",             "bsLabZ06",     "LAB_ONLINE", "LAB_OFFLINE", "LAB_PRINT", "bsLabZ04",
    "lab_vipname", "lab_vipzk",      "vipf",         "VIP_G",    "vipm",      "Panel6",    "Panel4",
    "LAB_TOL02", "Lab_sl",           "LAB_YH",       "Pnl_cli_3_B", "LAB_VER", "TMCOLOR",   "HELP_COLOR",
    "TMBLACK",  "HELP_BLACK",
};

} // namespace

Till::Till(const TillParts &parts) : form_(std::make_unique<SalesWindow>())
{
    WindowDialogs dialogs(*form_, parts);
    controller_ = std::make_unique<TillController>(parts, dialogs);
    form_->attach(*controller_);
    // The shift dialog and the sales query belong to the window and stay for the session.
    TillShift &shift = controller_->shift();
    auto *shiftDialog = new ShiftDialog(shift.desk(), parts.messages, form_.get());
    shift.desk().setPrompts(shiftDialog);
    auto *query = new SalesQueryDialog(shift.salesQuery(), form_.get());
    shift.setQueryOpener([query] {
        query->prepareSalesQuery();
        query->exec();
    });
}

Till::~Till()
{
    // The window and everything that draws the sale go first; the dialogs the controller
    // keeps only point at the window and are never shown again.
    controller_->shift().desk().setPrompts(nullptr);
    form_.reset();
}

QList<std::pair<QString, QString>> Till::screenLabels()
{
    QList<std::pair<QString, QString>> out;
    // Before the first login and after the close nothing of the screen is on view.
    if (!form_->isVisible())
        return out;
    for (const char *name : ScreenNames) {
        const QWidget *w = form_->findChild<QWidget *>(QString::fromLatin1(name));
        if (!w || !w->isVisibleTo(form_.get()))
            continue;
        QString text;
        if (const auto *label = qobject_cast<const QLabel *>(w)) {
            text = label->text();
        } else if (const auto *edit = qobject_cast<const QLineEdit *>(w)) {
            text = edit->text();
        } else if (qstrcmp(name, "Panel4") == 0) {
            // The summary, one row a label.
            QStringList rows;
            for (const QLabel *l : w->findChildren<QLabel *>())
                rows << l->text();
            text = rows.join(QLatin1Char('|'));
        }
        out.append({w->objectName(), text});
    }
    return out;
}

QList<QList<std::pair<QString, QString>>> Till::gridRows()
{
    QList<QList<std::pair<QString, QString>>> out;
    for (const SaleLine &l : controller_->sale().lines()) {
        out.append({{QStringLiteral("TM"), l.tm()},
                    {QStringLiteral("WL_ID"), l.wlId()},
                    {QStringLiteral("WL_NAME"), l.wlName()},
                    {QStringLiteral("SL"), QString::number(l.sl())},
                    {QStringLiteral("ODJ"), QString::number(l.odj())},
                    {QStringLiteral("ZK"), QString::number(l.zk())},
                    {QStringLiteral("SJ"), QString::number(l.sj())},
                    {QStringLiteral("SMONEY"), QString::number(l.smoney())},
                    {QStringLiteral("G"), QString::number(l.g())},
                    {QStringLiteral("NOTE"), l.note()}});
    }
    return out;
}

bool Till::offline() const
{
    return controller_->session().connection.offline;
}

void Till::advanceTime(int seconds)
{
    controller_->advanceTime(seconds);
}

} // namespace vorel
