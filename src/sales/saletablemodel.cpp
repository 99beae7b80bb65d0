#include "sales/saletablemodel.h"

#include <QBrush>

#include <array>

namespace vorel {

const QColor SaleTableModel::MarkedText = QColor(0, 0, 255);
const QColor SaleTableModel::GroupValueText = QColor(255, 0, 0);
const QColor SaleTableModel::FooterSumText = QColor(255, 255, 0);

namespace {

struct ColumnDesign {
    const char *title; // UTF-8
    int width;
};

const std::array<ColumnDesign, SaleTableModel::ColumnCount> Design = {{
    {"行", 21},
    {"条码", 110},
    {"款号", 94},
    {"品名", 182},
    {"尺码", 55},
    {"颜色", -1},
    {"数量", 44},
    {"吊牌价", 67},
    {"折扣", 46},
    {"售价", 53},
    {"金额", 69},
    {"", -1},
    {"", -1},
    {"活动", 182},
    {"累计", 60},
}};

bool validColumn(int column)
{
    return column >= 0 && column < SaleTableModel::ColumnCount;
}

// The remark and group value columns keep the grid's own painting.
bool ownPainting(int column)
{
    return column == SaleTableModel::NoteColumn || column == SaleTableModel::GroupValueColumn;
}

QString plain(double value)
{
    return Money::fromDouble(value).toPlainString();
}

} // namespace

SaleTableModel::SaleTableModel(Sale &sale, const Session &session, QObject *parent)
    : QAbstractTableModel(parent), sale_(sale), session_(session)
{
    for (int r = 0; r < sale_.lineCount(); ++r)
        rows_.append(makeRow(r));
    connect(&sale_, &Sale::lineAboutToBeInserted, this,
            [this](int row) { beginInsertRows(QModelIndex(), row, row); });
    connect(&sale_, &Sale::lineInserted, this, [this](int row) {
        rows_.insert(row, makeRow(row));
        endInsertRows();
        sync(-1, row + 1);
    });
    connect(&sale_, &Sale::lineAboutToBeRemoved, this,
            [this](int row) { beginRemoveRows(QModelIndex(), row, row); });
    connect(&sale_, &Sale::lineRemoved, this, [this](int row) {
        rows_.removeAt(row);
        endRemoveRows();
        sync(-1, row);
    });
    connect(&sale_, &Sale::aboutToBeCleared, this, [this] { beginResetModel(); });
    connect(&sale_, &Sale::cleared, this, [this] {
        rows_.clear();
        endResetModel();
        emit footersChanged();
    });
    connect(&sale_, &Sale::lineChanged, this, [this](int row) { sync(row, sale_.lineCount()); });
    connect(&sale_, &Sale::amountDisplayFormatChanged, this, [this] { rebuild(); });
}

int SaleTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int SaleTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

Qt::ItemFlags SaleTableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QString SaleTableModel::cellText(int row, int column) const
{
    const SaleLine &l = sale_.line(row);
    switch (column) {
    case AutoIdColumn: return QString::number(Sale::autoId(row));
    case BarcodeColumn: return l.tm();
    case StyleColumn: return l.wlId();
    case NameColumn: return l.wlName();
    case SizeColumn: return l.wlGg();
    case ColourColumn: return l.dwName();
    case QuantityColumn: return QString::number(l.sl());
    case TagPriceColumn: return plain(l.odj());
    case DiscountColumn: return plain(l.zk());
    case PriceColumn: return sale_.amountText(Money::fromDouble(l.sj()));
    case AmountColumn: return sale_.amountText(Money::fromDouble(l.smoney()));
    case TagTotalColumn: return l.ototal().toPlainString();
    case BeforeRoundingColumn: return plain(l.omoney());
    case NoteColumn:
        if (row > 0 && sale_.line(row - 1).note() == l.note())
            return QString();
        return l.note();
    case GroupValueColumn: {
        const std::optional<Money> value = shownGroupValue(row);
        return value ? value->toPlainString() : QString();
    }
    default: return QString();
    }
}

std::optional<Money> SaleTableModel::shownGroupValue(int row) const
{
    const Money value = sale_.suma(row);
    if (row > 0 && sale_.suma(row - 1) == value)
        return std::nullopt;
    return value;
}

SaleTableModel::Row SaleTableModel::makeRow(int row) const
{
    Row r;
    for (int c = 0; c < ColumnCount; ++c)
        r.text[std::size_t(c)] = cellText(row, c);
    r.groupValue = shownGroupValue(row);
    r.marked = sale_.line(row).isMarked();
    return r;
}

void SaleTableModel::sync(int changedRow, int firstMoved)
{
    for (int row = 0; row < rows_.size(); ++row) {
        Row &kept = rows_[row];
        int first = ColumnCount, last = -1;
        const auto take = [&](int column, QString text) {
            QString &cell = kept.text[std::size_t(column)];
            if (cell == text)
                return;
            cell = std::move(text);
            first = std::min(first, column);
            last = std::max(last, column);
        };
        if (row == changedRow) {
            Row fresh = makeRow(row);
            const bool recoloured = fresh.marked != kept.marked;
            for (int c = 0; c < ColumnCount; ++c)
                take(c, std::move(fresh.text[std::size_t(c)]));
            kept.groupValue = fresh.groupValue;
            kept.marked = fresh.marked;
            if (recoloured) {
                first = 0;
                last = ColumnCount - 1;
            }
        } else {
            if (row >= firstMoved)
                take(AutoIdColumn, cellText(row, AutoIdColumn));
            take(NoteColumn, cellText(row, NoteColumn));
            std::optional<Money> value = shownGroupValue(row);
            if (value != kept.groupValue) {
                kept.groupValue = value;
                take(GroupValueColumn, value ? value->toPlainString() : QString());
            }
        }
        if (last >= 0)
            reportRow(row, first, last);
    }
    emit footersChanged();
}

void SaleTableModel::reportRow(int row, int first, int last)
{
    emit dataChanged(index(row, first), index(row, last), {Qt::DisplayRole, Qt::ForegroundRole});
}

void SaleTableModel::rebuild()
{
    for (int r = 0; r < rows_.size(); ++r)
        rows_[r] = makeRow(r);
    if (!rows_.isEmpty())
        emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, ColumnCount - 1));
    emit footersChanged();
}

QVariant SaleTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size() || !validColumn(index.column()))
        return QVariant();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return rows_.at(index.row()).text[std::size_t(column)];
    case Qt::TextAlignmentRole:
        if (column == AutoIdColumn || column == BarcodeColumn)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        if ((column >= QuantityColumn && column <= BeforeRoundingColumn) || column == GroupValueColumn)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    case Qt::ForegroundRole:
        return QBrush(cellStyle(index, CellState::Plain).text);
    case Qt::BackgroundRole:
        return QBrush(cellStyle(index, CellState::Plain).background);
    default:
        return QVariant();
    }
}

QVariant SaleTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || !validColumn(section))
        return QVariant();
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(Design[std::size_t(section)].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return QVariant();
}

int SaleTableModel::designWidth(int column)
{
    return validColumn(column) ? Design[std::size_t(column)].width : -1;
}

bool SaleTableModel::isColumnVisible(int column) const
{
    switch (column) {
    case BarcodeColumn: return barcodeVisible_;
    case DiscountColumn: return session_.company.params.showDiscountColumn();
    case TagTotalColumn:
    case BeforeRoundingColumn: return false;
    case GroupValueColumn: return groupValueVisible_;
    default: return validColumn(column);
    }
}

void SaleTableModel::setBarcodeColumnVisible(bool visible)
{
    if (barcodeVisible_ == visible)
        return;
    barcodeVisible_ = visible;
    emit columnVisibilityChanged();
}

void SaleTableModel::setGroupValueColumnVisible(bool visible)
{
    if (groupValueVisible_ == visible)
        return;
    groupValueVisible_ = visible;
    emit columnVisibilityChanged();
}

QString SaleTableModel::footerText(int column) const
{
    switch (column) {
    case StyleColumn: return QString::number(sale_.lineCount());
    case QuantityColumn: return QString::number(sale_.totals().quantity);
    case AmountColumn: return sale_.amountText(sale_.totals().amount);
    case TagTotalColumn: return sale_.totals().tagTotal.toPlainString();
    case BeforeRoundingColumn: return sale_.totals().beforeRounding.toPlainString();
    default: return QString();
    }
}

FooterStyle SaleTableModel::footerStyle(int column)
{
    switch (column) {
    case QuantityColumn: return {FooterSumText, true, false};
    case AmountColumn: return {FooterSumText, true, true};
    default: return {};
    }
}

void SaleTableModel::setTheme(const SaleGridTheme &theme)
{
    if (theme_ == theme)
        return;
    theme_ = theme;
    emit themeChanged();
    rebuild();
}

CellStyle SaleTableModel::cellStyle(const QModelIndex &index, CellState state) const
{
    const int column = index.column();
    if (ownPainting(column)) {
        if (state != CellState::Plain)
            return {theme_.gridHighlight, theme_.gridHighlightText, false};
        return {theme_.gridColor, column == GroupValueColumn ? GroupValueText : theme_.fontColor, false};
    }
    CellStyle style;
    switch (state) {
    case CellState::Plain:
        style = {theme_.gridColor, theme_.fontColor, false};
        break;
    case CellState::Current:
        style = {theme_.highlight, QColor(255, 255, 255), false};
        break;
    case CellState::AlsoSelected:
        style = {theme_.highlight, QColor(255, 255, 255), true};
        break;
    }
    // Special prices and system lines stand out whatever the selection.
    if (index.isValid() && index.row() < rows_.size() && rows_.at(index.row()).marked)
        style.text = MarkedText;
    return style;
}

} // namespace vorel
