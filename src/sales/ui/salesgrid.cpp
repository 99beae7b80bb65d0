#include "sales/ui/salesgrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

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
        // The model's own colour roles are replaced here, so the item is drawn from an
        // option filled once and not filled again by the base class.
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        o.state &= ~QStyle::State_Selected;
        o.backgroundBrush = style.background;
        o.palette.setColor(QPalette::Text, style.text);
        o.font.setBold(style.bold);
        const QWidget *widget = option.widget;
        QStyle *drawer = widget ? widget->style() : QApplication::style();
        drawer->drawControl(QStyle::CE_ItemViewItem, &o, painter, widget);
    }

private:
    SaleTableModel &model_;
    QTableView *view_;
};

// The table of the lines. A table view lays its rows out again after any change in their
// number and then repaints everything on view; a line added at the end moves no other row,
// so that layout repaints only the new line, and when the grid must scroll to show it, the
// lines whose figures changed as well, after the scroll has moved what is on screen (drawn
// before it, they came out squeezed and stale). Every other change keeps the full repaint.
class LinesTable final : public QTableView {
public:
    using QTableView::QTableView;

    void doItemsLayout() override
    {
        const int first = appendedFrom_;
        appendedFrom_ = -1;
        if (first < 0 || movedRows_) {
            movedRows_ = false;
            changedFrom_ = -1;
            QTableView::doItemsLayout();
            return;
        }
        updateGeometries();
        const int last = model()->rowCount() - 1;
        if (first > last)
            return;
        const int top = rowViewportPosition(first);
        const int bottom = rowViewportPosition(last) + rowHeight(last);
        if (bottom > viewport()->height()) {
            // Scrolled here, so that what must be drawn is known where it now stands: the
            // new lines, and every line whose figures changed since (an offer's running
            // figures change with each line of it), from the first of them down.
            scrollToBottom();
            const int from = changedFrom_ >= 0 ? std::min(changedFrom_, first) : first;
            changedFrom_ = -1;
            const int y = std::max(0, rowViewportPosition(from));
            viewport()->update(QRect(0, y, viewport()->width(), viewport()->height() - y));
            return;
        }
        changedFrom_ = -1;
        viewport()->update(QRect(0, top, viewport()->width(), bottom - top));
    }

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) override
    {
        if (changedFrom_ < 0 || topLeft.row() < changedFrom_)
            changedFrom_ = topLeft.row();
        QTableView::dataChanged(topLeft, bottomRight, roles);
    }
    void rowsInserted(const QModelIndex &parent, int start, int end) override
    {
        if (end == model()->rowCount(parent) - 1) {
            if (appendedFrom_ < 0 || start < appendedFrom_)
                appendedFrom_ = start;
        } else {
            movedRows_ = true;
        }
        QTableView::rowsInserted(parent, start, end);
    }
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override
    {
        movedRows_ = true;
        QTableView::rowsAboutToBeRemoved(parent, start, end);
    }
    void reset() override
    {
        movedRows_ = true;
        QTableView::reset();
    }

private:
    int appendedFrom_ = -1; // first row appended since the last layout, -1 for none
    int changedFrom_ = -1;  // first row whose figures changed since the last layout
    bool movedRows_ = false; // rows removed, inserted above others, or all replaced
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
        p.fillRect(rect(), QColor(0x2B, 0x2B, 0x3A));
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
            p.setPen(style.color.isValid() ? style.color : QColor(Qt::white));
            const QRect cell(header->sectionViewportPosition(c) + offset + 2, 0, header->sectionSize(c) - 4, height());
            // A sum wider than its column runs on to the left, into the neighbour's empty
            // footer, rather than losing its leading digits (10960 showed as 0960).
            p.drawText(cell, Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, text);
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
    table_ = new LinesTable(this);
    table_->setObjectName(QStringLiteral("DBGridEhTable"));
    table_->setModel(&model_);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->setItemDelegate(new CellDelegate(model_, table_));
    // The name column takes what the others leave, so the grid never scrolls sideways.
    table_->horizontalHeader()->setSectionResizeMode(SaleTableModel::NameColumn, QHeaderView::Stretch);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A table view marks the titles of the columns its selection touches, and a whole line
    // selected touches them all: the titles turned bold whenever a line was current and the
    // header was drawn again with every scan.
    table_->horizontalHeader()->setHighlightSections(false);
    static_assert(SaleTableModel::ColumnCount == std::tuple_size_v<decltype(wanted_)>);
    for (int c = 0; c < SaleTableModel::ColumnCount; ++c) {
        const int w = SaleTableModel::designWidth(c);
        wanted_[std::size_t(c)] = w > 0 ? w : table_->horizontalHeader()->defaultSectionSize();
        table_->setColumnWidth(c, wanted_[std::size_t(c)]);
    }
    table_->viewport()->installEventFilter(this);
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

bool SalesGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == table_->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}

void SalesGrid::fitColumns()
{
    int used = 0;
    for (int c = 0; c < SaleTableModel::ColumnCount; ++c) {
        if (!table_->isColumnHidden(c) && c != SaleTableModel::NameColumn)
            used += wanted_[std::size_t(c)];
    }
    const int nameMinimum = 120;
    int excess = used + nameMinimum - table_->viewport()->width();
    const std::pair<int, int> givers[] = {{SaleTableModel::NoteColumn, 80},
                                          {SaleTableModel::ColourColumn, 48},
                                          {SaleTableModel::BarcodeColumn, 96}};
    for (const auto &[column, minimum] : givers)
        table_->setColumnWidth(column, wanted_[std::size_t(column)]);
    for (const auto &[column, minimum] : givers) {
        if (excess <= 0)
            break;
        if (table_->isColumnHidden(column))
            continue;
        const int width = wanted_[std::size_t(column)];
        const int give = std::min(excess, std::max(0, width - minimum));
        table_->setColumnWidth(column, width - give);
        excess -= give;
    }
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
    return column >= 0 && column < SaleTableModel::ColumnCount ? wanted_[std::size_t(column)] : 0;
}

void SalesGrid::setColumnWidth(int column, int width)
{
    if (width <= 0 || column < 0 || column >= SaleTableModel::ColumnCount)
        return;
    wanted_[std::size_t(column)] = width;
    table_->setColumnWidth(column, width);
    fitColumns();
}

} // namespace vorel
