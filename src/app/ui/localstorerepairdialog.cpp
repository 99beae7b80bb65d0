#include "app/ui/localstorerepairdialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

#include "app/localstorerepair.h"
#include "core/messages.h"

namespace vorel {

LocalStoreRepairDialog::LocalStoreRepairDialog(LocalStoreRepair &repair, Messages &messages, QWidget *parent)
    : QDialog(parent), repair_(repair), messages_(messages)
{
    setObjectName(QStringLiteral("TFrm_db"));
    setWindowTitle(QStringLiteral("数据修复"));

    auto *heading = new QLabel(QStringLiteral("离线数据库修复"), this);
    heading->setObjectName(QStringLiteral("Label1"));
    QFont big = heading->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    heading->setFont(big);
    auto *text = new QLabel(LocalStoreRepair::Explanation.join(QLatin1Char('\n')), this);
    text->setObjectName(QStringLiteral("Memo1"));

    auto *replace = new QPushButton(LocalStoreRepair::ConfirmCaption, this);
    replace->setObjectName(QStringLiteral("btn_ok"));
    replace->setAutoDefault(false);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("btn_Cancel"));
    close->setAutoDefault(false);
    connect(replace, &QPushButton::clicked, this, &LocalStoreRepairDialog::confirm);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(replace);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(text);
    layout->addLayout(buttons);
    close->setFocus();
}

void LocalStoreRepairDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F2) {
        confirm();
        return;
    }
    QDialog::keyPressEvent(event);
}

void LocalStoreRepairDialog::confirm()
{
    if (!messages_.ask(repair_.question()))
        return;
    bool replaced = false;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        replaced = repair_.replace();
    }
    if (replaced)
        messages_.notice(LocalStoreRepair::DoneText);
    else
        messages_.failure(LocalStoreRepair::FailedText);
    accept();
}

} // namespace vorel
