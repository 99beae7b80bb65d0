#pragma once
// The preview window of test receipts: the page as the driver would print it, with the
// preview's own print button.

namespace vorel {

struct ReceiptPage;

void showReceiptPreview(const ReceiptPage &page);

} // namespace vorel
