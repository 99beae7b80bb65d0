#pragma once
// The appearance dialog "TS008" (表格宽度及字体大小设置): column widths, the two font sizes,
// the barcode and "累计" columns, three layouts by screen width and the theme colours. Every
// edit changes the live sales grid at once; OK and Cancel only close (the grid keeps what
// was set). SalesGridAppearance is the live grid as the dialog sees it.

#include <QDialog>
#include <functional>

#include "appearance/gridappearance.h"

class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace vorel {

class SalesGrid;
class SaleTableModel;

// The sales grid and its model, and the screen's two theme colours through the callbacks
// of the sales screen.
class SalesGridAppearance final : public AppearanceTarget {
public:
    using Colours = std::pair<quint32, quint32>;
    SalesGridAppearance(SalesGrid &grid, SaleTableModel &model, std::function<Colours()> colours,
                        std::function<void(quint32, quint32)> setColours);

    int fontSize() const override;
    void setFontSize(int points) override;
    int titleFontSize() const override;
    void setTitleFontSize(int points) override;
    int columnWidth(int column) const override;
    void setColumnWidth(int column, int width) override;
    bool columnVisible(int column) const override;
    void setColumnVisible(int column, bool visible) override;
    Colours colours() const override { return colours_(); }
    void setColours(quint32 panel, quint32 highlight) override { setColours_(panel, highlight); }

private:
    SalesGrid &grid_;
    SaleTableModel &model_;
    std::function<Colours()> colours_;
    std::function<void(quint32, quint32)> setColours_;
};

class AppearanceDialog : public QDialog {
    Q_OBJECT

public:
    AppearanceDialog(AppearanceTarget &target, int screenWidth, QWidget *parent = nullptr);

    // PrepareAppearance: the edits show what the grid has now.
    void prepare();

    // Pause and the customer logo: the dialog over the live grid, modally.
    static void run(AppearanceTarget &target, int screenWidth, QWidget *owner);

private:
    QSpinBox *spin(const QString &name, int minimum, int maximum);
    void choosePreset(int preset); // CKCLICK
    void pickColour(bool panel);   // the two "自定义颜色" buttons

    GridAppearance appearance_;
    QList<std::pair<int, QSpinBox *>> widths_; // grid column, edit
    QSpinBox *font_;
    QSpinBox *titleFont_;
    QCheckBox *hideBarcode_;
    QCheckBox *hideGroupValue_;
    QList<QRadioButton *> presets_;
};

} // namespace vorel
