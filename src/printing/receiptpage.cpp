#include "printing/receiptpage.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

#include "core/text.h"
#include "printing/receipt.h"

namespace vorel {

namespace {

constexpr double MmPerInch = 25.4;
// Blank above the title and below the last line.
constexpr double EndMarginMm = 2.0;

QFont receiptFont(int pointSize)
{
    QFont font(QStringLiteral("monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(pointSize > 0 ? pointSize : 10);
    return font;
}

// Receipts are laid out in columns of GBK bytes: a character of two bytes takes two
// cells, whatever the width of the glyph the font finds for it.
double cellWidth(const QFontMetricsF &metrics) { return metrics.horizontalAdvance(QLatin1Char('0')); }

// Horizontal squeeze that lets the widest line fit the paper (1 when it fits).
double condensing(const QFontMetricsF &metrics, const QStringList &lines, double width)
{
    int cells = 0;
    for (const QString &line : lines)
        cells = std::max(cells, gbkLength(line));
    const double natural = cells * cellWidth(metrics);
    return natural > width ? width / natural : 1.0;
}

void drawCells(QPainter &painter, const QFontMetricsF &metrics, const QString &line, double x, double top,
               double scale)
{
    const double cell = cellWidth(metrics);
    painter.save();
    painter.translate(x, top + metrics.ascent());
    painter.scale(scale, 1.0);
    double at = 0.0;
    for (qsizetype i = 0; i < line.size();) {
        const qsizetype units = line[i].isHighSurrogate() && i + 1 < line.size() ? 2 : 1;
        const QString ch = line.mid(i, units);
        const double span = gbkLength(ch) * cell;
        if (ch != QLatin1String(" "))
            painter.drawText(QPointF(at + (span - metrics.horizontalAdvance(ch)) / 2, 0.0), ch);
        at += span;
        i += units;
    }
    painter.restore();
}

QString pageName(int widthMm) { return QStringLiteral("小票预览%1mm").arg(widthMm); }

} // namespace

ReceiptPage driverReceiptPage(const RenderedReceipt &receipt, int widthMm, int titleFontSize, int bodyFontSize)
{
    ReceiptPage page;
    page.name = pageName(widthMm);
    page.widthMm = widthMm;
    page.title = receipt.title;
    page.body = receipt.lines.mid(1);
    page.titleFontSize = titleFontSize;
    page.bodyFontSize = bodyFontSize;
    return page;
}

ReceiptPage previewReceiptPage(const RenderedReceipt &receipt, int widthMm, int bodyFontSize)
{
    ReceiptPage page;
    page.name = pageName(widthMm);
    page.widthMm = widthMm;
    page.body = receipt.lines;
    page.bodyFontSize = bodyFontSize;
    return page;
}

bool paintReceiptPage(QPrinter &printer, const ReceiptPage &page, QString *error)
{
    const QFont titleFont = receiptFont(page.titleFontSize);
    const QFont bodyFont = receiptFont(page.bodyFontSize);
    const QFontMetricsF titleMetrics(titleFont, &printer);
    const QFontMetricsF bodyMetrics(bodyFont, &printer);
    const double dpi = printer.resolution();
    const double pxPerMm = dpi / MmPerInch;

    const double titleHeight = page.title.isEmpty() ? 0.0 : titleMetrics.lineSpacing();
    const double contentHeight = titleHeight + bodyMetrics.lineSpacing() * page.body.size();
    const double heightMm = contentHeight / pxPerMm + 2 * EndMarginMm;

    const QPageSize size(QSizeF(page.widthMm, heightMm), QPageSize::Millimeter, page.name, QPageSize::ExactMatch);
    printer.setFullPage(true);
    if (!printer.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter))) {
        if (error)
            *error = QStringLiteral("打印机不接受%1mm宽的纸张").arg(page.widthMm);
        return false;
    }
    printer.setDocName(page.name);

    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral("打印机无法打印");
        return false;
    }
    const double left = ReceiptSideMarginMm * pxPerMm;
    const double width = (page.widthMm - 2 * ReceiptSideMarginMm) * pxPerMm;
    double y = EndMarginMm * pxPerMm;
    if (!page.title.isEmpty()) {
        const QString title = page.title.trimmed();
        const double scale = condensing(titleMetrics, {title}, width);
        const double drawn = gbkLength(title) * cellWidth(titleMetrics) * scale;
        painter.setFont(titleFont);
        drawCells(painter, titleMetrics, title, left + (width - drawn) / 2, y, scale);
        y += titleHeight;
    }
    painter.setFont(bodyFont);
    const double scale = condensing(bodyMetrics, page.body, width);
    for (const QString &line : page.body) {
        drawCells(painter, bodyMetrics, line, left, y, scale);
        y += bodyMetrics.lineSpacing();
    }
    return painter.end();
}

PrinterReceiptPages::PrinterReceiptPages(QString pdfFile) : pdfFile_(std::move(pdfFile)) {}

bool PrinterReceiptPages::print(const ReceiptPage &page, QString *error)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!pdfFile_.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFile_);
    } else if (QPrinterInfo::defaultPrinter().isNull()) {
        if (error)
            *error = QStringLiteral("没有可用的打印机");
        return false;
    }
    return paintReceiptPage(printer, page, error);
}

bool PrinterReceiptPages::preview(const ReceiptPage &page, QString *error)
{
    if (!viewer_) {
        if (error)
            *error = QStringLiteral("无法预览小票");
        return false;
    }
    viewer_(page);
    return true;
}

} // namespace vorel
