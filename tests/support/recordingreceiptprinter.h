#pragma once
// A receipt printer that keeps what it was asked to print.

#include <QList>

#include "printing/receiptprinter.h"

namespace vorel {

class RecordingReceiptPrinter final : public ReceiptPrinter {
public:
    void print(const CommittedSlip &slip) override { printed.append(slip); }
    QList<CommittedSlip> printed;
};

} // namespace vorel
