#pragma once
// The settlement dialog TS001 behind the commit's SettlementPrompt: created on first use
// (owned by the sales screen when one is given) and reused for every later settlement.

#include <QPointer>
#include <QString>
#include <memory>

#include "settlement/slipscreen.h"

class QWidget;

namespace vorel {

class SettlementDialog;

class DialogSettlementPrompt final : public SettlementPrompt {
public:
    // `owner` becomes the dialog's parent; without one the prompt owns the dialog.
    explicit DialogSettlementPrompt(QString settingsPath, QWidget *owner = nullptr,
                                    bool simplifiedChinese = Settlement::systemUsesSimplifiedChinese());
    ~DialogSettlementPrompt() override;
    DialogSettlementPrompt(const DialogSettlementPrompt &) = delete;
    DialogSettlementPrompt &operator=(const DialogSettlementPrompt &) = delete;

    bool settle(const SettlementRequest &request) override;
    QString fieldText(SettlementField field) const override;
    bool bankCardReadsEps() const override { return !simplifiedChinese_; }

    // Null until the first settlement.
    SettlementDialog *dialog() const { return dialog_; }

private:
    QString settingsPath_;
    QPointer<QWidget> owner_;
    bool simplifiedChinese_;
    std::unique_ptr<SettlementDialog> unowned_;
    QPointer<SettlementDialog> dialog_;
};

} // namespace vorel
