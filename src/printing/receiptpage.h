#pragma once
// A receipt as a page for a printer driver: a strip exactly as wide as the paper and as
// tall as its lines, no page margins, the title centred above the body. Lines are drawn
// in a fixed-pitch font and never wrapped, so the columns of the templates stay put.

#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

class QPrinter;

namespace vorel {

struct RenderedReceipt;

struct ReceiptPage {
    QString name;       // the document name: "小票预览" + width + "mm"
    int widthMm = 58;
    QString title;      // empty: no title line
    QStringList body;
    int titleFontSize = 12; // points
    int bodyFontSize = 10;  // points
};

// The blank kept at the left and right edge of the paper, in millimetres.
inline constexpr double ReceiptSideMarginMm = 0.5;

// The driver page: the first line as title, the rest as body.
ReceiptPage driverReceiptPage(const RenderedReceipt &receipt, int widthMm, int titleFontSize, int bodyFontSize);
// The preview of a test print without driver: every line in the body, no title.
ReceiptPage previewReceiptPage(const RenderedReceipt &receipt, int widthMm, int bodyFontSize);

// Sets the printer's page to the receipt's size and draws it. False with *error set when
// the printer cannot be drawn on.
bool paintReceiptPage(QPrinter &printer, const ReceiptPage &page, QString *error = nullptr);

// Where driver pages go: printed, or previewed for a test print.
class ReceiptPages {
public:
    virtual ~ReceiptPages() = default;
    // False with *error set when nothing was printed.
    virtual bool print(const ReceiptPage &page, QString *error) = 0;
    virtual bool preview(const ReceiptPage &page, QString *error) = 0;
};

// Pages through Qt's printing: to the system's default printer, or into a PDF file when
// one is named. Previews go to the viewer the screen side installs.
class PrinterReceiptPages final : public ReceiptPages {
public:
    using Viewer = std::function<void(const ReceiptPage &page)>;

    explicit PrinterReceiptPages(QString pdfFile = {});
    void setViewer(Viewer viewer) { viewer_ = std::move(viewer); }

    bool print(const ReceiptPage &page, QString *error) override;
    bool preview(const ReceiptPage &page, QString *error) override;

private:
    QString pdfFile_;
    Viewer viewer_;
};

} // namespace vorel
