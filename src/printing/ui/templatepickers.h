#pragma once
// The two template pickers (TS004_1, TS004_2) of the terminal settings dialog: the till's own six sample
// receipts on three tabs, and the templates other tills stored in their terminal rows.
// OK or a double click takes the one under the cursor.

#include <QDialog>

#include "core/ui/resultsetpicker.h"

class QListWidget;
class QTabWidget;

namespace vorel {

class SampleTemplatesDialog : public QDialog {
    Q_OBJECT
public:
    static const QString Caption;

    explicit SampleTemplatesDialog(QWidget *parent = nullptr);

    // Library index of the sample under the cursor of the open tab; -1 when none.
    int chosenIndex() const;
    // Puts the cursor on a library index, turning to its tab.
    void choose(int index);

private:
    void take();

    QTabWidget *tabs_ = nullptr;
    QList<QListWidget *> lists_;
};

class OtherTillTemplatesPicker : public ResultSetPicker {
    Q_OBJECT
public:
    static const QString Caption;

    // `rows` must outlive the dialog; the row taken becomes their current row.
    explicit OtherTillTemplatesPicker(ResultSet &rows, QWidget *parent = nullptr);

protected:
    bool take(int row) override;

private:
    ResultSet &rows_;
};

} // namespace vorel
