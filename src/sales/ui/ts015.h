#pragma once
// The member picker "会员选择": the cards a member search found, one to choose. Enter or OK
// takes the current card, a double click takes it too (and closes as cancelled when the list
// is empty), Escape cancels.

#include <QDialog>
#include <optional>

#include "core/resultset.h"

class QTableWidget;

namespace vorel {

class TS015 : public QDialog {
    Q_OBJECT
public:
    explicit TS015(const ResultSet &cards, QWidget *parent = nullptr);

    // The row of the cards taken, nullopt until one was.
    std::optional<int> chosen() const { return chosen_; }

    // Shows the picker over the cards; the row taken, nullopt when cancelled.
    static std::optional<int> pick(const ResultSet &cards, QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void take();

    QTableWidget *grid_ = nullptr;
    std::optional<int> chosen_;
};

} // namespace vorel
