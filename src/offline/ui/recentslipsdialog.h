#pragma once
// TS006 (查单): the terminal's ten most recent slips over the slip number edit. Moving
// through the list puts the slip's number in the edit; Enter returns the edit's number,
// double click the selected one. Offline, Delete removes the selected slip from the local
// store after a question (a slip whose upload would drive stock negative).

#include <QDialog>

#include "offline/syncdesk.h"

class QLabel;
class QLineEdit;

namespace vorel {

class Messages;
class ResultSetGrid;

class RecentSlipsDialog final : public QDialog {
    Q_OBJECT

public:
    // Loads the list; the edit starts with `prefix`.
    RecentSlipsDialog(RecentSlips &slips, Messages &messages, const QString &prefix, const QString &terminalId,
                      QWidget *parent = nullptr);

    QString slipNumber() const;
    void deleteSelected();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rowChanged();

    RecentSlips &slips_;
    Messages &messages_;
    QLineEdit *number_;
    ResultSetGrid *grid_;
};

} // namespace vorel
