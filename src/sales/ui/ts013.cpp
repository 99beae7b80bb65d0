#include "sales/ui/ts013.h"
#include "sales/ui/dialogbuttons.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <iterator>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/messages.h"
#include "core/shopservice.h"

namespace vorel {

namespace {

struct OfferColumn {
    const char16_t *caption;
    const char *field;
};

constexpr OfferColumn Columns[] = {{u"积分", "VIPF"}, {u"代金", "VIPFM"}, {u"描述", "NOTE"}};

} // namespace

TS013::TS013(ShopService &shop, Messages &messages, const RedemptionRequest &request, QWidget *parent)
    : QDialog(parent), messages_(messages), request_(request)
{
    setObjectName(QStringLiteral("TS013"));
    setWindowTitle(QStringLiteral("积分换购设定"));
    shop.openSql(offers_, RedemptionRequest::OffersSql);

    auto *notice = new QLabel(RedemptionRequest::NoticeText, this);
    notice->setObjectName(QStringLiteral("lab_notice"));
    auto *header = new QLabel(request_.header(), this);
    header->setObjectName(QStringLiteral("lab_head"));

    const int columnCount = static_cast<int>(std::size(Columns));
    grid_ = new QTableWidget(offers_.totalRowCount(), columnCount, this);
    grid_->setObjectName(QStringLiteral("DBGridEh"));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->verticalHeader()->hide();
    for (int c = 0; c < columnCount; ++c) {
        grid_->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf16(Columns[c].caption)));
        const int source = offers_.columnIndex(QString::fromLatin1(Columns[c].field));
        for (int r = 0; source >= 0 && r < offers_.totalRowCount(); ++r)
            grid_->setItem(r, c, new QTableWidgetItem(offers_.fieldAt(r, source).asString()));
    }
    grid_->horizontalHeader()->setStretchLastSection(true);
    if (grid_->rowCount() > 0)
        grid_->setCurrentCell(0, 0);
    grid_->installEventFilter(this);
    connect(grid_, &QTableWidget::cellDoubleClicked, this, &TS013::take);

    auto *buttons = okCancelRow(this, &TS013::take);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(notice);
    layout->addWidget(header);
    layout->addWidget(grid_);
    layout->addLayout(buttons);
    grid_->setFocus();
}

bool TS013::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const int rows = grid_->rowCount();
        if ((key == Qt::Key_Up || key == Qt::Key_Down) && rows > 0) {
            const int step = key == Qt::Key_Down ? 1 : -1;
            const int row = (qMax(grid_->currentRow(), 0) + step + rows) % rows;
            grid_->setCurrentCell(row, qMax(grid_->currentColumn(), 0));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TS013::take()
{
    const int row = grid_->currentRow();
    if (row < 0 || !offers_.setRecNo(row))
        return;
    const RedemptionOffer offer = RedemptionOffer::fromRow(offers_);
    if (const std::optional<QString> refusal = request_.refusal(offer)) {
        messages_.notice(*refusal);
        return;
    }
    chosen_ = offer;
    accept();
}

std::optional<RedemptionOffer> TS013::choose(ShopService &shop, Messages &messages, const RedemptionRequest &request,
                                             QWidget *parent)
{
    TS013 dialog(shop, messages, request, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

} // namespace vorel
