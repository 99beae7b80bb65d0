#include "printing/ui/receiptpreview.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

#include "printing/receiptpage.h"

namespace vorel {

void showReceiptPreview(const ReceiptPage &page)
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer);
    dialog.setWindowTitle(page.name);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&page](QPrinter *target) { paintReceiptPage(*target, page); });
    dialog.exec();
}

} // namespace vorel
