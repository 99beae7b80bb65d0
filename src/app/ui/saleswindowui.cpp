#include "app/ui/saleswindowui.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "offline/ui/connectionstatus.h"
#include "sales/commandline.h"
#include "sales/ui/salesgrid.h"

namespace vorel {

namespace {

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLabel *valueLabel(const QString &name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    return l;
}

void setPointSize(QWidget *w, int size, bool bold = false)
{
    QFont f = w->font();
    f.setPointSize(size);
    f.setBold(bold);
    w->setFont(f);
}

void paintWhite(QWidget *w)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace

void SalesWindowUi::setupUi(QWidget *form, SaleTableModel &model, Sale &sale, Connection &connection,
                         const QStringList &keyHelpLines)
{
    // The key help runs down the right side beside everything but the top panel, so its
    // lines fit a 768-pixel screen.
    auto *layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildTopPanels(form));
    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    auto *column = new QVBoxLayout;
    column->setSpacing(0);
    column->addWidget(buildInfoStrip(form, connection));
    column->addWidget(buildMemberStrip(form));
    column->addWidget(buildCentre(form, model, sale, keyHelpLines), 1);
    column->addWidget(buildTotals(form));
    column->addWidget(buildBottomPanels(form));
    body->addLayout(column, 1);
    body->addWidget(keyHelp);
    layout->addLayout(body, 1);
}

QWidget *SalesWindowUi::buildTopPanels(QWidget *form)
{
    auto *holder = new QWidget(form);
    auto *stack = new QVBoxLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    topColour = new QWidget(holder);
    topColour->setObjectName(QStringLiteral("Pnl_top"));
    auto *row = new QHBoxLayout(topColour);
    systemLogo = new QLabel(QStringLiteral("VOREL POS"), topColour);
    systemLogo->setObjectName(QStringLiteral("Image_sys"));
    setPointSize(systemLogo, 16, true);
    customerLogo = valueLabel(QStringLiteral("Image_logo"), topColour);
    customerLogo->hide();
    title = valueLabel(QStringLiteral("LAB_TIT"), topColour);
    setPointSize(title, 16, true);
    welcome = valueLabel(QStringLiteral("bsLinkLab_Welcome"), topColour);
    setPointSize(welcome, 14);
    row->addWidget(systemLogo);
    row->addWidget(customerLogo);
    row->addSpacing(16);
    row->addWidget(title);
    row->addStretch(1);
    row->addWidget(welcome);
    themed << topColour;

    topBlack = new QWidget(holder);
    topBlack->setObjectName(QStringLiteral("pnl_top_B"));
    auto *rowB = new QHBoxLayout(topBlack);
    welcomeBlack = valueLabel(QStringLiteral("WELCOM_BLACK"), topBlack);
    setPointSize(welcomeBlack, 14);
    rowB->addWidget(welcomeBlack);
    rowB->addStretch(1);

    stack->addWidget(topColour);
    stack->addWidget(topBlack);
    return holder;
}

QWidget *SalesWindowUi::buildInfoStrip(QWidget *form, Connection &connection)
{
    auto *strip = new QWidget(form);
    strip->setObjectName(QStringLiteral("Panel1"));
    auto *g = new QGridLayout(strip);
    g->setContentsMargins(8, 2, 8, 2);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(0);
    int cell = 0;
    const auto pair = [&](const QString &text, QWidget *value) {
        const int row = cell / 4;
        const int column = (cell % 4) * 2;
        g->addWidget(caption(text, strip), row, column);
        g->addWidget(value, row, column + 1);
        ++cell;
    };
    terminal = valueLabel(QStringLiteral("bsLabZ01"), strip);
    warehouse = valueLabel(QStringLiteral("bsLabZ02"), strip);
    cashier = valueLabel(QStringLiteral("bsLabZ05"), strip);
    salesperson = valueLabel(QStringLiteral("bsLabZ07"), strip);
    slipNumber = valueLabel(QStringLiteral("bsLabZ03"), strip);
    date = valueLabel(QStringLiteral("bdate"), strip);
    shift = valueLabel(QStringLiteral("bsLabZ06"), strip);
    print = valueLabel(QStringLiteral("LAB_PRINT"), strip);
    auto *statusHolder = new QWidget(strip);
    auto *statusRow = new QHBoxLayout(statusHolder);
    statusRow->setContentsMargins(0, 0, 0, 0);
    status = new ConnectionStatus(connection, statusHolder);
    statusRow->addWidget(status);
    statusRow->addWidget(shift);
    statusRow->addStretch(1);
    pair(QStringLiteral("机  号："), terminal);
    pair(QStringLiteral("仓  库："), warehouse);
    pair(QStringLiteral("收  银："), cashier);
    pair(QStringLiteral("营业员："), salesperson);
    pair(QStringLiteral("单  号："), slipNumber);
    pair(QStringLiteral("日  期："), date);
    pair(QStringLiteral("打印："), print);
    pair(QStringLiteral("状态："), statusHolder);
    for (int c = 1; c < 8; c += 2)
        g->setColumnStretch(c, 1);
    themed << strip;
    return strip;
}

QWidget *SalesWindowUi::buildMemberStrip(QWidget *form)
{
    auto *strip = new QWidget(form);
    strip->setObjectName(QStringLiteral("Panel2"));
    auto *g = new QHBoxLayout(strip);
    g->setContentsMargins(8, 2, 8, 2);
    card = valueLabel(QStringLiteral("bsLabZ04"), strip);
    card->setStyleSheet(QStringLiteral("color: #ffd700;"));
    setPointSize(card, 16, true);
    memberName = valueLabel(QStringLiteral("lab_vipname"), strip);
    memberRate = valueLabel(QStringLiteral("lab_vipzk"), strip);
    memberPoints = valueLabel(QStringLiteral("vipf"), strip);
    memberGrade = valueLabel(QStringLiteral("VIP_G"), strip);
    g->addWidget(caption(QStringLiteral("会员："), strip));
    g->addWidget(card);
    g->addWidget(memberName);
    g->addSpacing(10);
    g->addWidget(caption(QStringLiteral("折 扣"), strip));
    g->addWidget(memberRate);
    g->addWidget(caption(QStringLiteral("积 分"), strip));
    g->addWidget(memberPoints);
    g->addWidget(caption(QStringLiteral("等级"), strip));
    g->addWidget(memberGrade);
    balancePanel = new QWidget(strip);
    balancePanel->setObjectName(QStringLiteral("Panel9"));
    auto *b = new QHBoxLayout(balancePanel);
    b->setContentsMargins(0, 0, 0, 0);
    memberBalance = valueLabel(QStringLiteral("vipm"), balancePanel);
    b->addWidget(caption(QStringLiteral("储值卡余额："), balancePanel));
    b->addWidget(memberBalance);
    g->addWidget(balancePanel);
    g->addStretch(1);
    themed << strip;
    return strip;
}

QWidget *SalesWindowUi::buildCentre(QWidget *form, SaleTableModel &model, Sale &sale, const QStringList &keyHelpLines)
{
    auto *holder = new QWidget(form);
    auto *row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    centre = new QStackedWidget(holder);
    grid = new SalesGrid(model, sale, centre);
    summary = new QWidget(centre);
    summary->setObjectName(QStringLiteral("Panel4"));
    paintWhite(summary);
    new QVBoxLayout(summary);
    centre->addWidget(grid);
    centre->addWidget(summary);
    row->addWidget(centre, 1);

    practiceBadge = new QLabel(QStringLiteral("练习收银"), grid);
    practiceBadge->setObjectName(QStringLiteral("Panel6"));
    practiceBadge->setAlignment(Qt::AlignCenter);
    practiceBadge->setStyleSheet(
        QStringLiteral("background: #c00000; color: white; border: 2px solid white; padding: 6px;"));
    setPointSize(practiceBadge, 20, true);
    practiceBadge->adjustSize();
    practiceBadge->hide();

    keyHelp = new QFrame(form);
    keyHelp->setObjectName(QStringLiteral("Pnl_cli_3_B"));
    keyHelp->setFrameShape(QFrame::StyledPanel);
    auto *lines = new QVBoxLayout(keyHelp);
    lines->setContentsMargins(6, 4, 6, 4);
    lines->setSpacing(0);
    for (const QString &text : keyHelpLines)
        lines->addWidget(new QLabel(text, keyHelp));
    version = valueLabel(QStringLiteral("LAB_VER"), keyHelp);
    lines->addWidget(version);
    lines->addStretch(1);
    keyHelp->hide();
    themed << keyHelp;
    return holder;
}

QWidget *SalesWindowUi::buildTotals(QWidget *form)
{
    auto *strip = new QWidget(form);
    strip->setObjectName(QStringLiteral("Panel7"));
    paintWhite(strip);
    auto *g = new QHBoxLayout(strip);
    g->setContentsMargins(12, 4, 12, 4);
    const auto figure = [&](const QString &text, const QString &name, int size) {
        auto *c = caption(text, strip);
        setPointSize(c, size / 2 + 4, true);
        auto *v = valueLabel(name, strip);
        setPointSize(v, size, true);
        v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        g->addWidget(c);
        g->addWidget(v, 1);
        return v;
    };
    total = figure(QStringLiteral("合计："), QStringLiteral("LAB_TOL02"), 36);
    total->setStyleSheet(QStringLiteral("color: #c00000;"));
    quantity = figure(QStringLiteral("数量："), QStringLiteral("Lab_sl"), 22);
    saving = figure(QStringLiteral("共优惠："), QStringLiteral("LAB_YH"), 22);
    return strip;
}

QWidget *SalesWindowUi::buildBottomPanels(QWidget *form)
{
    auto *holder = new QWidget(form);
    auto *stack = new QVBoxLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    const auto panel = [&](const QString &name, const QString &editName, const QString &helpName, QLineEdit *&edit,
                           QLabel *&help) {
        auto *p = new QWidget(holder);
        p->setObjectName(name);
        auto *row = new QHBoxLayout(p);
        row->setContentsMargins(8, 6, 8, 6);
        edit = new QLineEdit(p);
        edit->setObjectName(editName);
        edit->setMaxLength(CommandLine::MaxLength);
        setPointSize(edit, 18, true);
        edit->setMinimumWidth(320);
        help = valueLabel(helpName, p);
        setPointSize(help, 13, true);
        row->addWidget(edit);
        row->addWidget(help, 1);
        stack->addWidget(p);
        return p;
    };
    bottomColour = panel(QStringLiteral("Pnl_bom"), QStringLiteral("TMCOLOR"), QStringLiteral("HELP_COLOR"),
                         editColour, helpColour);
    bottomBlack = panel(QStringLiteral("Pnl_bom_B"), QStringLiteral("TMBLACK"), QStringLiteral("HELP_BLACK"),
                        editBlack, helpBlack);
    themed << bottomColour;
    return holder;
}

int SalesWindowUi::keyHelpFontSize(int screenHeight)
{
    if (screenHeight <= 600)
        return 9;
    return screenHeight <= 768 ? 11 : 12;
}

void SalesWindowUi::applyScreenHeight(int screenHeight)
{
    const int size = keyHelpFontSize(screenHeight);
    const int controlHeight = screenHeight <= 600 ? 14 : (screenHeight <= 768 ? 20 : 22);
    setPointSize(keyHelp, size);
    for (QLabel *l : keyHelp->findChildren<QLabel *>()) {
        setPointSize(l, size);
        l->setFixedHeight(controlHeight);
    }
}

} // namespace vorel
