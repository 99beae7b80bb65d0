#pragma once
// The till's receipt printing: renders a receipt from the session's templates and sends
// it where the settings say: as text to the printer port, as a page through the printer
// driver, into a preview (test prints) or into a message box (show only). The rendered
// lines and the title stay here until the next receipt.
//
// A receipt that cannot be printed never reaches back into the sale: whatever goes wrong
// is told to the cashier and the sale stays committed.

#include <QString>

#include "printing/receipt.h"
#include "printing/receiptprinter.h"

namespace vorel {

class Clock;
class Devices;
class Messages;
class ReceiptPages;
class Session;
struct ReceiptPage;

class SaleLine;

// The fields of a sale line that receipts print.
ReceiptLine receiptLine(const SaleLine &line);

class SessionReceiptPrinter final : public ReceiptPrinter {
public:
    SessionReceiptPrinter(Session &session, Devices &devices, Messages &messages, const Clock &clock);

    // Page printing and preview; until they are set, driver and test prints print nothing.
    void setPages(ReceiptPages *pages) { pages_ = pages; }
    ReceiptPages *pages() const { return pages_; }

    // The receipt of a slip just committed, with the templates and printer of the session.
    void print(const CommittedSlip &slip) override;

    // Renders and outputs one receipt. False when it failed; the cashier has been told why.
    bool RenderReceipt(const ReceiptRequest &request);

    // The request for a committed slip: its values, the session's templates and printer.
    ReceiptRequest requestFor(const CommittedSlip &slip) const;

    // The print list and title of the last receipt.
    const RenderedReceipt &last() const { return last_; }

private:
    bool output(const ReceiptRequest &request);
    bool toPages(const ReceiptPage &page, bool preview);

    Session &session_;
    Devices &devices_;
    Messages &messages_;
    const Clock &clock_;
    ReceiptPages *pages_ = nullptr;
    RenderedReceipt last_;
};

} // namespace vorel
