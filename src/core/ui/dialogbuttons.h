#pragma once
// The OK and Cancel buttons every till dialog carries (btn_ok, btn_Cancel), right-aligned
// under its content. OK is the default button, so Enter presses it; Cancel and Escape
// reject the dialog.

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace vorel {

template <typename Dialog>
QHBoxLayout *okCancelRow(Dialog *dialog, void (Dialog::*onOk)())
{
    auto *ok = new QPushButton(QStringLiteral("确定"), dialog);
    ok->setObjectName(QStringLiteral("btn_ok"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消"), dialog);
    cancel->setObjectName(QStringLiteral("btn_Cancel"));
    QObject::connect(ok, &QPushButton::clicked, dialog, onOk);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

} // namespace vorel
