#pragma once
// The widgets of the sales screen TMainForm and how they are laid out, apart from what the
// screen does with them (the way a designer form's setupUi is kept apart from its window).
// Every label carries the objectName the screen's layout gives it; scenarios read those.

#include <QList>
#include <QStringList>

class QFrame;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QWidget;

namespace vorel {

class Connection;
class ConnectionStatus;
class Sale;
class SaleTableModel;
class SalesGrid;

struct SalesWindowUi {
    // Builds the screen into `form`; `keyHelp` are the lines of the key-help panel.
    void setupUi(QWidget *form, SaleTableModel &model, Sale &sale, Connection &connection,
                 const QStringList &keyHelp);

    QWidget *topColour = nullptr;    // Pnl_top
    QWidget *topBlack = nullptr;     // pnl_top_B
    QWidget *bottomColour = nullptr; // Pnl_bom
    QWidget *bottomBlack = nullptr;  // Pnl_bom_B
    QLineEdit *editColour = nullptr; // TMCOLOR
    QLineEdit *editBlack = nullptr;  // TMBLACK
    QLabel *helpColour = nullptr;    // HELP_COLOR
    QLabel *helpBlack = nullptr;     // HELP_BLACK
    QLabel *title = nullptr;         // LAB_TIT
    QLabel *welcome = nullptr;       // bsLinkLab_Welcome
    QLabel *welcomeBlack = nullptr;  // WELCOM_BLACK
    QLabel *systemLogo = nullptr;    // Image_sys
    QLabel *customerLogo = nullptr;  // Image_logo
    QLabel *terminal = nullptr;      // bsLabZ01
    QLabel *warehouse = nullptr;     // bsLabZ02
    QLabel *slipNumber = nullptr;    // bsLabZ03
    QLabel *card = nullptr;          // bsLabZ04
    QLabel *cashier = nullptr;       // bsLabZ05
    QLabel *shift = nullptr;         // bsLabZ06
    QLabel *salesperson = nullptr;   // bsLabZ07
    QLabel *date = nullptr;          // bdate
    ConnectionStatus *status = nullptr; // LAB_ONLINE, LAB_OFFLINE
    QLabel *print = nullptr;         // LAB_PRINT
    QLabel *memberName = nullptr;    // lab_vipname
    QLabel *memberRate = nullptr;    // lab_vipzk
    QLabel *memberPoints = nullptr;  // vipf
    QLabel *memberGrade = nullptr;   // VIP_G
    QLabel *memberBalance = nullptr; // vipm
    QWidget *balancePanel = nullptr; // Panel9
    QLabel *total = nullptr;         // LAB_TOL02
    QLabel *quantity = nullptr;      // Lab_sl
    QLabel *saving = nullptr;        // LAB_YH
    QLabel *version = nullptr;       // LAB_VER
    QLabel *practiceBadge = nullptr; // Panel6
    QFrame *keyHelp = nullptr;       // Pnl_cli_3_B
    QWidget *summary = nullptr;      // Panel4
    QStackedWidget *centre = nullptr;
    SalesGrid *grid = nullptr;
    QList<QWidget *> themed; // panels that take the theme colour

    // The key-help font by the screen height.
    static int keyHelpFontSize(int screenHeight);
    void applyScreenHeight(int screenHeight);

private:
    QWidget *buildTopPanels(QWidget *form);
    QWidget *buildInfoStrip(QWidget *form, Connection &connection);
    QWidget *buildMemberStrip(QWidget *form);
    QWidget *buildCentre(QWidget *form, SaleTableModel &model, Sale &sale, const QStringList &keyHelp);
    QWidget *buildTotals(QWidget *form);
    QWidget *buildBottomPanels(QWidget *form);
};

} // namespace vorel
