#pragma once
// The local database repair "TFrm_db" (数据修复): what a damaged local store looks like and
// what the replacement does, and the button "替换离线文件 F2" (or F2). After the replacement,
// whether it worked or not, the dialog closes with OK and the till ends.

#include <QDialog>

namespace vorel {

class LocalStoreRepair;
class Messages;

class LocalStoreRepairDialog : public QDialog {
    Q_OBJECT

public:
    LocalStoreRepairDialog(LocalStoreRepair &repair, Messages &messages, QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void confirm();

    LocalStoreRepair &repair_;
    Messages &messages_;
};

} // namespace vorel
