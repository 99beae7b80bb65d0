#include "sales/ui/memberpickerdialog.h"

namespace vorel {

MemberPickerDialog::MemberPickerDialog(const ResultSet &cards, QWidget *parent) : ResultSetPicker({.emptyCancels = true}, parent)
{
    setObjectName(QStringLiteral("TS015"));
    setWindowTitle(QStringLiteral("会员选择"));
    setRows(cards, {{QStringLiteral("卡号"), QStringLiteral("VIPID")},
                    {QStringLiteral("称呼"), QStringLiteral("VIPNAME")},
                    {QStringLiteral("电 话"), QStringLiteral("VIPTEL")},
                    {QStringLiteral("生 日"), QStringLiteral("BIRDATE")},
                    {QStringLiteral("等 级"), QStringLiteral("G")},
                    {QStringLiteral("折 扣"), QStringLiteral("VIPZK")},
                    {QStringLiteral("积 分"), QStringLiteral("VIPF")},
                    {QStringLiteral("开卡日期 "), QStringLiteral("BDATE")}});
    grid()->resizeColumnsToContents();
}

bool MemberPickerDialog::take(int row)
{
    chosen_ = row;
    return true;
}

std::optional<int> MemberPickerDialog::pick(const ResultSet &cards, QWidget *parent)
{
    MemberPickerDialog dialog(cards, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

} // namespace vorel
