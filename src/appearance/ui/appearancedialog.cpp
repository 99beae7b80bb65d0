#include "appearance/ui/appearancedialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include "appearance/screentheme.h"
#include "core/ui/dialogbuttons.h"
#include "sales/saletablemodel.h"
#include "sales/ui/salesgrid.h"

namespace vorel {

namespace {

// The width edits: name, grid column, caption.
struct WidthEdit {
    const char *name;
    int column;
    const char *caption;
};
constexpr WidthEdit WidthEdits[] = {
    {"p1", 0, "行"},      {"p2", 1, "条码"},   {"p3", 2, "款号"}, {"p5", 4, "尺码"},
    {"p6", 5, "颜色"},    {"p7", 6, "数量"},   {"p8", 7, "吊牌价"}, {"p9", 8, "折扣"},
    {"PA", 9, "售价"},    {"PB", 10, "金额"},  {"PC", 13, "活动"},
};

quint32 toBgr(const QColor &c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

QPushButton *colourPanel(const QString &name, int tag, quint32 bgr, const QString &caption, QWidget *parent)
{
    auto *panel = new QPushButton(caption, parent);
    panel->setObjectName(name);
    panel->setProperty("Tag", tag);
    panel->setAutoDefault(false);
    panel->setFixedSize(56, 28);
    panel->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #404040;")
                             .arg(colourFromBgr(bgr).name()));
    return panel;
}

} // namespace

SalesGridAppearance::SalesGridAppearance(SalesGrid &grid, SaleTableModel &model, std::function<Colours()> colours,
                                         std::function<void(quint32, quint32)> setColours)
    : grid_(grid), model_(model), colours_(std::move(colours)), setColours_(std::move(setColours))
{
}

int SalesGridAppearance::fontSize() const
{
    return grid_.table()->font().pointSize();
}

void SalesGridAppearance::setFontSize(int points)
{
    grid_.setFontSizes(points, 0);
}

int SalesGridAppearance::titleFontSize() const
{
    return grid_.table()->horizontalHeader()->font().pointSize();
}

void SalesGridAppearance::setTitleFontSize(int points)
{
    grid_.setFontSizes(0, points);
}

int SalesGridAppearance::columnWidth(int column) const
{
    return grid_.columnWidth(column);
}

void SalesGridAppearance::setColumnWidth(int column, int width)
{
    grid_.setColumnWidth(column, width);
}

bool SalesGridAppearance::columnVisible(int column) const
{
    return model_.isColumnVisible(column);
}

void SalesGridAppearance::setColumnVisible(int column, bool visible)
{
    if (column == SaleTableModel::BarcodeColumn)
        model_.setBarcodeColumnVisible(visible);
    else if (column == SaleTableModel::GroupValueColumn)
        model_.setGroupValueColumnVisible(visible);
}

AppearanceDialog::AppearanceDialog(AppearanceTarget &target, int screenWidth, QWidget *parent)
    : QDialog(parent), appearance_(target)
{
    setObjectName(QStringLiteral("TS008"));
    setWindowTitle(QStringLiteral("表格宽度及字体大小设置"));

    auto *widthBox = new QGroupBox(QStringLiteral("表格列宽"), this);
    auto *widthGrid = new QGridLayout(widthBox);
    int i = 0;
    for (const WidthEdit &w : WidthEdits) {
        QSpinBox *edit = spin(QLatin1String(w.name), GridAppearance::MinWidth, 999);
        edit->setProperty("Tag", w.column + 1);
        widths_.append({w.column, edit});
        widthGrid->addWidget(new QLabel(QString::fromUtf8(w.caption), widthBox), i / 4, (i % 4) * 2);
        widthGrid->addWidget(edit, i / 4, (i % 4) * 2 + 1);
        ++i;
    }
    auto *note = new QLabel(QStringLiteral("注：品名自动宽度，不可更改。条码及款号宽度根据实际使用长度进行调整。"
                                           "调整前表格内应录入至少一款以查看效果。"),
                            widthBox);
    note->setWordWrap(true);
    widthGrid->addWidget(note, 3, 0, 1, 8);

    font_ = spin(QStringLiteral("pfont"), GridAppearance::MinFontSize, GridAppearance::MaxFontSize);
    titleFont_ = spin(QStringLiteral("ptitelfont"), GridAppearance::MinFontSize, GridAppearance::MaxFontSize);
    hideBarcode_ = new QCheckBox(QStringLiteral("隐藏【条码】列"), this);
    hideBarcode_->setObjectName(QStringLiteral("title_tm"));
    hideGroupValue_ = new QCheckBox(QStringLiteral("隐藏【累计】列"), this);
    hideGroupValue_->setObjectName(QStringLiteral("title_tot"));
    auto *fonts = new QGridLayout;
    fonts->addWidget(new QLabel(QStringLiteral("【表格】字体大小"), this), 0, 0);
    fonts->addWidget(font_, 0, 1);
    fonts->addWidget(new QLabel(QStringLiteral("【标题】字体大小"), this), 0, 2);
    fonts->addWidget(titleFont_, 0, 3);
    fonts->addWidget(hideBarcode_, 1, 0, 1, 2);
    fonts->addWidget(hideGroupValue_, 1, 2, 1, 2);

    auto *presetBox = new QGroupBox(QStringLiteral("预设方案"), this);
    auto *presetRow = new QHBoxLayout(presetBox);
    auto *size = new QLabel(QStringLiteral("当前屏幕宽度：%1").arg(screenWidth), presetBox);
    size->setObjectName(QStringLiteral("SCRsize"));
    presetRow->addWidget(size);
    const QString captions[] = {QStringLiteral("800以下"), QStringLiteral("801-1024"), QStringLiteral("1024以上")};
    for (int p = 0; p < 3; ++p) {
        auto *radio = new QRadioButton(captions[p], presetBox);
        radio->setObjectName(QStringLiteral("CK%1").arg(p + 1));
        connect(radio, &QRadioButton::clicked, this, [this, p] { choosePreset(p); });
        presets_ << radio;
        presetRow->addWidget(radio);
    }

    auto *colourBox = new QGroupBox(QStringLiteral("颜色"), this);
    auto *colourGrid = new QGridLayout(colourBox);
    for (int pair = 0; pair < int(GridAppearance::ColourPairs.size()); ++pair) {
        const auto [panel, highlight] = GridAppearance::ColourPairs[std::size_t(pair)];
        const QString stem = pair == 0 ? QStringLiteral("c0") : QStringLiteral("C%1").arg(pair);
        const QString caption = pair == 0 ? QStringLiteral("默认") : QString();
        QPushButton *a = colourPanel(stem + QLatin1Char('A'), 100 + pair * 10, panel, caption, colourBox);
        QPushButton *b = colourPanel(stem + QLatin1Char('B'), 101 + pair * 10, highlight, caption, colourBox);
        for (QPushButton *button : {a, b}) // pnl_cli: either panel of a pair
            connect(button, &QPushButton::clicked, this, [this, pair] { appearance_.choosePair(pair); });
        colourGrid->addWidget(a, 0, pair);
        colourGrid->addWidget(b, 1, pair);
    }
    auto *pickPanel = new QPushButton(QStringLiteral("自定义颜色"), colourBox);
    pickPanel->setObjectName(QStringLiteral("bsSkinBrushColorButton1"));
    auto *pickHighlight = new QPushButton(QStringLiteral("自定义颜色"), colourBox);
    pickHighlight->setObjectName(QStringLiteral("bsSkinBrushColorButton2"));
    for (QPushButton *b : {pickPanel, pickHighlight})
        b->setAutoDefault(false);
    connect(pickPanel, &QPushButton::clicked, this, [this] { pickColour(true); });
    connect(pickHighlight, &QPushButton::clicked, this, [this] { pickColour(false); });
    colourGrid->addWidget(pickPanel, 0, 6);
    colourGrid->addWidget(pickHighlight, 1, 6);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(widthBox);
    layout->addLayout(fonts);
    layout->addWidget(presetBox);
    layout->addWidget(colourBox);
    layout->addLayout(okCancelRow<QDialog>(this, &QDialog::accept));

    prepare();
    // From here on every edit goes to the grid.
    for (const auto &[column, edit] : std::as_const(widths_)) {
        connect(edit, &QSpinBox::valueChanged, this, [this, column = column](int v) { appearance_.setWidth(column, v); });
    }
    connect(font_, &QSpinBox::valueChanged, this, [this](int v) { appearance_.setFontSize(v); });
    connect(titleFont_, &QSpinBox::valueChanged, this, [this](int v) { appearance_.setTitleFontSize(v); });
    connect(hideBarcode_, &QCheckBox::toggled, this, [this](bool on) { appearance_.setBarcodeHidden(on); });
    connect(hideGroupValue_, &QCheckBox::toggled, this, [this](bool on) { appearance_.setGroupValueHidden(on); });
}

QSpinBox *AppearanceDialog::spin(const QString &name, int minimum, int maximum)
{
    auto *edit = new QSpinBox(this);
    edit->setObjectName(name);
    edit->setRange(minimum, maximum);
    edit->setKeyboardTracking(true);
    return edit;
}

void AppearanceDialog::prepare()
{
    AppearanceTarget &target = appearance_.target();
    font_->setValue(target.fontSize());
    titleFont_->setValue(target.titleFontSize());
    for (const auto &[column, edit] : std::as_const(widths_))
        edit->setValue(target.columnWidth(column));
    hideBarcode_->setChecked(!target.columnVisible(GridAppearance::BarcodeColumn));
    hideGroupValue_->setChecked(!target.columnVisible(GridAppearance::GroupValueColumn));
}

void AppearanceDialog::run(AppearanceTarget &target, int screenWidth, QWidget *owner)
{
    AppearanceDialog dialog(target, screenWidth, owner);
    dialog.exec();
}

void AppearanceDialog::choosePreset(int preset)
{
    const GridPreset &p = GridAppearance::Presets[std::size_t(preset)];
    // The edits carry the values to the grid.
    font_->setValue(p.fontSize);
    titleFont_->setValue(p.titleFontSize);
    for (int i = 0; i < widths_.size(); ++i)
        widths_[i].second->setValue(p.widths[std::size_t(i)]);
    // An edit already at its value sends nothing; the grid gets the whole preset anyway.
    appearance_.applyPreset(preset);
}

void AppearanceDialog::pickColour(bool panel)
{
    const auto [current, highlight] = appearance_.target().colours();
    const QColor chosen = QColorDialog::getColor(colourFromBgr(panel ? current : highlight), this);
    if (!chosen.isValid())
        return;
    if (panel)
        appearance_.choosePanelColour(toBgr(chosen));
    else
        appearance_.chooseHighlightColour(toBgr(chosen));
}

} // namespace vorel
