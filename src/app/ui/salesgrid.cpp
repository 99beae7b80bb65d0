#include "app/ui/salesgrid.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include "sales/sale.h"
#include "sales/saletablemodel.h"

namespace vorel {

namespace {

class CellDelegate final : public QStyledItemDelegate {
public:
    CellDelegate(SaleTableModel &model, QTableView *view) : QStyledItemDelegate(view), model_(model), view_(view) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        // The note and "累计" columns keep the grid's own painting.
        if (index.column() == SaleTableModel::NoteColumn || index.column() == SaleTableModel::GroupValueColumn) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        CellState state = CellState::Plain;
        if (option.state & QStyle::State_Selected)
            state = index.row() == view_->currentIndex().row() ? CellState::Current : CellState::AlsoSelected;
        const CellStyle style = model_.cellStyle(index, state);
        QStyleOptionViewItem o(option);
        o.state &= ~QStyle::State_Selected;
        o.backgroundBrush = style.background;
        o.palette.setColor(QPalette::Text, style.text);
        o.font.setBold(style.bold);
        painter->fillRect(option.rect, style.background);
        QStyledItemDelegate::paint(painter, o, index);
    }

private:
    SaleTableModel &model_;
    QTableView *view_;
};

// The sums under their columns, drawn at the header's section positions.
class Footer final : public QWidget {
public:
    Footer(SaleTableModel &model, QTableView *table, QWidget *parent) : QWidget(parent), model_(model), table_(table)
    {
        setObjectName(QStringLiteral("DBGridEhFooter"));
        setAutoFillBackground(true);
        QFont big = font();
        big.setBold(true);
        setFont(big);
        setFixedHeight(fontMetrics().height() * 2);
        connect(&model_, &SaleTableModel::footersChanged, this, qOverload<>(&QWidget::update));
        connect(table_->horizontalHeader(), &QHeaderView::sectionResized, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Window).darker(110));
        const QHeaderView *header = table_->horizontalHeader();
        const int offset = table_->verticalHeader()->isVisible() ? table_->verticalHeader()->width() : 0;
        for (int c = 0; c < SaleTableModel::ColumnCount; ++c) {
            if (table_->isColumnHidden(c))
                continue;
            const QString text = model_.footerText(c);
            if (text.isEmpty())
                continue;
            const FooterStyle style = SaleTableModel::footerStyle(c);
            QFont f = font();
            f.setBold(true);
            if (style.large)
                f.setPointSizeF(f.pointSizeF() * 1.4);
            p.setFont(f);
            p.setPen(style.color.isValid() ? style.color : palette().color(QPalette::WindowText));
            const QRect cell(header->sectionViewportPosition(c) + offset + 2, 0, header->sectionSize(c) - 4, height());
            p.drawText(cell, Qt::AlignRight | Qt::AlignVCenter, text);
        }
    }

private:
    SaleTableModel &model_;
    QTableView *table_;
};

} // namespace

SalesGrid::SalesGrid(SaleTableModel &model, Sale &sale, QWidget *parent) : QWidget(parent), model_(model), sale_(sale)
{
    setObjectName(QStringLiteral("DBGridEh"));
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("DBGridEhTable"));
    table_->setModel(&model_);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->setItemDelegate(new CellDelegate(model_, table_));
    table_->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < SaleTableModel::ColumnCount; ++c) {
        const int w = SaleTableModel::designWidth(c);
        if (w > 0)
            table_->setColumnWidth(c, w);
    }
    footer_ = new Footer(model_, table_, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(table_, 1);
    layout->addWidget(footer_);

    applyVisibility();
    connect(&model_, &SaleTableModel::columnVisibilityChanged, this, &SalesGrid::applyVisibility);
    connect(&sale_, &Sale::currentChanged, this, &SalesGrid::followCurrent);
}

void SalesGrid::applyVisibility()
{
    for (int c = 0; c < SaleTableModel::ColumnCount; ++c)
        table_->setColumnHidden(c, !model_.isColumnVisible(c));
    footer_->update();
}

void SalesGrid::followCurrent(int row)
{
    if (row < 0 || row >= model_.rowCount()) {
        table_->clearSelection();
        return;
    }
    const QModelIndex index = model_.index(row, 0);
    table_->setCurrentIndex(index);
    table_->selectRow(row);
    table_->scrollTo(index);
}

void SalesGrid::setFontSizes(int body, int title)
{
    if (body > 0) {
        QFont f = table_->font();
        f.setPointSize(body);
        table_->setFont(f);
        footer_->setFont(f);
        table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(f).height() + 8);
    }
    if (title > 0) {
        QFont f = table_->horizontalHeader()->font();
        f.setPointSize(title);
        table_->horizontalHeader()->setFont(f);
    }
}

int SalesGrid::columnWidth(int column) const
{
    return table_->columnWidth(column);
}

void SalesGrid::setColumnWidth(int column, int width)
{
    if (width > 0)
        table_->setColumnWidth(column, width);
}

QString SalesGrid::footerText(int column) const
{
    return model_.footerText(column);
}

} // namespace vorel
