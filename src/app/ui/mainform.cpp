#include "app/ui/mainform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QScreen>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QVBoxLayout>

#include "app/calculator.h"
#include "app/hotkey.h"
#include "app/screenlock.h"
#include "app/tillshoplink.h"
#include "app/ui/salesgrid.h"
#include "app/ui/ts002.h"
#include "core/clock.h"
#include "core/messages.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "core/text.h"
#include "members/membereditor.h"
#include "members/ui/tiv7001_1.h"
#include "offline/connection.h"
#include "offline/networkwatch.h"
#include "printing/devices.h"
#include "printing/portmap.h"
#include "printing/receiptpage.h"
#include "printing/seriallibrary.h"
#include "printing/sessionreceiptprinter.h"
#include "printing/terminalsettingsform.h"
#include "printing/ui/receiptpreview.h"
#include "printing/ui/ts004.h"
#include "sales/commandline.h"
#include "sales/memberdesk.h"
#include "sales/pricing.h"
#include "sales/sale.h"
#include "sales/saletablemodel.h"
#include "sales/ui/memberdialogboxes.h"
#include "sales/ui/ts009.h"
#include "settlement/slipcommitter.h"
#include "settlement/ui/dialogsettlementprompt.h"
#include "settlement/ui/settlementdialog.h"
#include "settlement/ui/ts012.h"

namespace vorel {

namespace {

const QStringList KeyHelpLines{
    QStringLiteral(" F1  帮助   F7  练习"),   QStringLiteral(" F2  登出   F8  明细"),
    QStringLiteral(" F3  查单   F9  重打"),   QStringLiteral(" F4  交班   F10 设置"),
    QStringLiteral(" F5  同步   F11 改密"),   QStringLiteral(" F6 打印开关F12 主题"),
    QStringLiteral(" [空格]    ：清空条码"),  QStringLiteral(" [DEL ]    ：删除一行"),
    QStringLiteral(" [INS ]    ：清空"),      QStringLiteral(" [+ ] +数量：改数量"),
    QStringLiteral(" [+-] +数量：退货"),      QStringLiteral(" [++] +金额：改金额"),
    QStringLiteral(" [--] +回车：积分换购"),  QStringLiteral(" [. ] +折扣：当前打折"),
    QStringLiteral(" [..] +折扣：整单打折"),  QStringLiteral(" [* ] +号码：会员卡号"),
    QStringLiteral(" [*+] +回车：增加会员"),  QStringLiteral(" [**] +金额：会员充值"),
    QStringLiteral(" [/ ] +号码：营 业 员"),  QStringLiteral(" [//] +备注：备注信息"),
    QStringLiteral(" [CTRL+D] 日期更改"),     QStringLiteral(" [HOME  ] 锁  屏"),
    QStringLiteral(" [END   ] 开钱箱"),       QStringLiteral(" [PgUp  ] 上一单"),
    QStringLiteral(" [PgDn  ] 挂单/取单"),    QStringLiteral(" [SCR LK] 彩色/黑白"),
    QStringLiteral(" [Pause ] 字体大小"),     QStringLiteral(" [CTRL+Q] 退出收银系统"),
};

const QString AutoSyncFailedText = QStringLiteral("与服务器同步数据错误!您将不能使用离线系统!");
const QString AutoUploadFailedText = QStringLiteral("离线数据上传错误!");
const QString AutoSyncDoneText = QStringLiteral("成功与服务器同步数据!");

// FM_COLOR and FB_COLOR are stored the Windows way, 0x00BBGGRR.
QColor fromBgr(quint32 v)
{
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

void paint(QWidget *w, const QColor &background, const QColor &text)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

void setPointSize(QWidget *w, int size, bool bold = false)
{
    QFont f = w->font();
    f.setPointSize(size);
    f.setBold(bold);
    w->setFont(f);
}

// The first network adapter's address, kept out of sight in the "Connect" message.
QString adapterToken()
{
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        if (!(i.flags() & QNetworkInterface::IsLoopBack) && !i.hardwareAddress().isEmpty())
            return getMD5(i.hardwareAddress() + QStringLiteral("VOREL"));
    }
    return getMD5(QStringLiteral("VOREL"));
}

} // namespace

TMainForm::TMainForm(const MainFormParts &parts, QWidget *parent)
    : QWidget(parent), session_(parts.session), settings_(parts.settings), folder_(parts.folder), link_(parts.link),
      clock_(parts.clock), messages_(parts.messages), calculator_(parts.calculator)
{
    setObjectName(QStringLiteral("TMainForm"));
    Connection &connection = link_.connection();
    sale_ = std::make_unique<Sale>(session_.formats);
    pricing_ = std::make_unique<Pricing>(*sale_, session_.formats);
    model_ = std::make_unique<SaleTableModel>(*sale_, session_);
    serial_ = std::make_unique<SerialPortLibrary>(PortMap(folder_.root()));
    devices_ = std::make_unique<Devices>(session_, *serial_, PortMap(folder_.root()), messages_);
    printer_ = std::make_unique<SessionReceiptPrinter>(session_, *devices_, messages_, clock_);
    pages_ = std::make_unique<PrinterReceiptPages>();
    pages_->setViewer([](const ReceiptPage &page) { showReceiptPreview(page); });
    printer_->setPages(pages_.get());
    picker_ = std::make_unique<DialogItemPicker>(this);
    memberEditor_ = std::make_unique<MemberEditor>(link_.service(), session_, clock_);
    memberDialogs_ = std::make_unique<MemberDialogBoxes>(
        link_.service(), messages_,
        [this](QWidget *owner) { return TIV7001_1::addMember(*memberEditor_, messages_, owner); }, this);
    members_ = std::make_unique<MemberDesk>(connection, *sale_, *pricing_, *memberDialogs_, *this);
    commandLine_ = std::make_unique<CommandLine>(
        CommandLineParts{session_, *sale_, *pricing_, connection, *members_, *this, *picker_});
    prompt_ = std::make_unique<DialogSettlementPrompt>(settings_.path(), this);
    committer_ = std::make_unique<SlipCommitter>(SlipCommitParts{connection, settings_, *sale_, *members_, *this,
                                                                 *prompt_, *devices_, *printer_, messages_, clock_});
    settingsForm_ = std::make_unique<TerminalSettingsForm>(session_, *devices_, *printer_, connection, messages_, folder_);
    lock_ = std::make_unique<ScreenLock>(connection, clock_);
    keys_ = std::make_unique<SalesKeys>(SalesKeysParts{session_, *sale_, *pricing_, *commandLine_, *committer_,
                                                       *devices_, messages_, calculator_, *this,
                                                       [this] { lock_->resetIdle(); }});
    sale_->setCustomerDisplay(this);

    buildScreen();
    screenHeightFonts();

    connect(sale_.get(), &Sale::labelsChanged, this, &TMainForm::showTotals);
    connect(commandLine_.get(), &CommandLine::helpTextChanged, this, &TMainForm::showHelpText);
    connect(commandLine_.get(), &CommandLine::salespersonChanged, salesperson_, &QLabel::setText);
    connect(commandLine_.get(), &CommandLine::idleCounterReset, lock_.get(), &ScreenLock::resetIdle);
    connect(members_.get(), &MemberDesk::cardChanged, this, &TMainForm::showCard);
    connect(&connection, &Connection::statusChanged, this, &TMainForm::showOnline);
    connect(lock_.get(), &ScreenLock::lockDue, this, &TMainForm::lockScreen);

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        QPixmap icon(32, 32);
        icon.fill(QColor(0x40, 0x60, 0xA0));
        tray_ = new QSystemTrayIcon(QIcon(icon), this);
        tray_->setToolTip(QStringLiteral("VOREL POS"));
        connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick)
                applyToggle(onTrayDoubleClick(windowStateNow()));
        });
    }

    // The date label starts at the time the screen was made.
    date_->setText(formatDateTime(clock_.now()));
    showTotals();
    showOnline(connection.showsOffline());
}

TMainForm::~TMainForm()
{
    sale_->setCustomerDisplay(nullptr);
}

QLineEdit *TMainForm::commandEdit() const
{
    return colour_ ? editColour_ : editBlack_;
}

QLabel *TMainForm::helpLabel() const
{
    return colour_ ? helpColour_ : helpBlack_;
}

QLabel *TMainForm::valueLabel(const QString &name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    return l;
}

void TMainForm::buildScreen()
{
    // The key help runs down the right side beside everything but the top panel, so its
    // lines fit a 768-pixel screen.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildTopPanels());
    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    auto *sale = new QVBoxLayout;
    sale->setSpacing(0);
    sale->addWidget(buildInfoStrip());
    sale->addWidget(buildMemberStrip());
    sale->addWidget(buildCentre(), 1);
    sale->addWidget(buildTotals());
    sale->addWidget(buildBottomPanels());
    body->addLayout(sale, 1);
    body->addWidget(keyHelp_);
    layout->addLayout(body, 1);
    setColourScreen(true);
}

QWidget *TMainForm::buildTopPanels()
{
    auto *holder = new QWidget(this);
    auto *stack = new QVBoxLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    topColour_ = new QWidget(holder);
    topColour_->setObjectName(QStringLiteral("Pnl_top"));
    auto *row = new QHBoxLayout(topColour_);
    systemLogo_ = new QLabel(QStringLiteral("VOREL POS"), topColour_);
    systemLogo_->setObjectName(QStringLiteral("Image_sys"));
    setPointSize(systemLogo_, 16, true);
    customerLogo_ = new QLabel(topColour_);
    customerLogo_->setObjectName(QStringLiteral("Image_logo"));
    customerLogo_->hide();
    title_ = new QLabel(topColour_);
    title_->setObjectName(QStringLiteral("LAB_TIT"));
    setPointSize(title_, 16, true);
    welcome_ = new QLabel(topColour_);
    welcome_->setObjectName(QStringLiteral("bsLinkLab_Welcome"));
    setPointSize(welcome_, 14);
    row->addWidget(systemLogo_);
    row->addWidget(customerLogo_);
    row->addSpacing(16);
    row->addWidget(title_);
    row->addStretch(1);
    row->addWidget(welcome_);
    themed_ << topColour_;

    topBlack_ = new QWidget(holder);
    topBlack_->setObjectName(QStringLiteral("pnl_top_B"));
    auto *rowB = new QHBoxLayout(topBlack_);
    welcomeBlack_ = new QLabel(topBlack_);
    welcomeBlack_->setObjectName(QStringLiteral("WELCOM_BLACK"));
    setPointSize(welcomeBlack_, 14);
    rowB->addWidget(welcomeBlack_);
    rowB->addStretch(1);

    stack->addWidget(topColour_);
    stack->addWidget(topBlack_);
    return holder;
}

QWidget *TMainForm::buildInfoStrip()
{
    auto *strip = new QWidget(this);
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
    terminal_ = valueLabel(QStringLiteral("bsLabZ01"), strip);
    warehouse_ = valueLabel(QStringLiteral("bsLabZ02"), strip);
    cashier_ = valueLabel(QStringLiteral("bsLabZ05"), strip);
    salesperson_ = valueLabel(QStringLiteral("bsLabZ07"), strip);
    slipNumber_ = valueLabel(QStringLiteral("bsLabZ03"), strip);
    date_ = valueLabel(QStringLiteral("bdate"), strip);
    shift_ = valueLabel(QStringLiteral("bsLabZ06"), strip);
    online_ = valueLabel(QStringLiteral("LAB_ONLINE"), strip);
    online_->setText(Connection::OnlineCaption);
    online_->setStyleSheet(QStringLiteral("color: #7CFC00; font-weight: bold;"));
    offline_ = valueLabel(QStringLiteral("LAB_OFFLINE"), strip);
    offline_->setText(Connection::OfflineCaption);
    offline_->setStyleSheet(QStringLiteral("color: #FF4040; font-weight: bold;"));
    offline_->hide();
    print_ = valueLabel(QStringLiteral("LAB_PRINT"), strip);
    auto *status = new QWidget(strip);
    auto *statusRow = new QHBoxLayout(status);
    statusRow->setContentsMargins(0, 0, 0, 0);
    statusRow->addWidget(online_);
    statusRow->addWidget(offline_);
    statusRow->addWidget(shift_);
    statusRow->addStretch(1);
    pair(QStringLiteral("机  号："), terminal_);
    pair(QStringLiteral("仓  库："), warehouse_);
    pair(QStringLiteral("收  银："), cashier_);
    pair(QStringLiteral("营业员："), salesperson_);
    pair(QStringLiteral("单  号："), slipNumber_);
    pair(QStringLiteral("日  期："), date_);
    pair(QStringLiteral("打印："), print_);
    pair(QStringLiteral("状态："), status);
    for (int c = 1; c < 8; c += 2)
        g->setColumnStretch(c, 1);
    themed_ << strip;
    return strip;
}

QWidget *TMainForm::buildMemberStrip()
{
    auto *strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("Panel2"));
    auto *g = new QHBoxLayout(strip);
    g->setContentsMargins(8, 2, 8, 2);
    card_ = valueLabel(QStringLiteral("bsLabZ04"), strip);
    card_->setStyleSheet(QStringLiteral("color: #ffd700;"));
    setPointSize(card_, 16, true);
    memberName_ = valueLabel(QStringLiteral("lab_vipname"), strip);
    memberRate_ = valueLabel(QStringLiteral("lab_vipzk"), strip);
    memberPoints_ = valueLabel(QStringLiteral("vipf"), strip);
    memberGrade_ = valueLabel(QStringLiteral("VIP_G"), strip);
    g->addWidget(caption(QStringLiteral("会员："), strip));
    g->addWidget(card_);
    g->addWidget(memberName_);
    g->addSpacing(10);
    g->addWidget(caption(QStringLiteral("折 扣"), strip));
    g->addWidget(memberRate_);
    g->addWidget(caption(QStringLiteral("积 分"), strip));
    g->addWidget(memberPoints_);
    g->addWidget(caption(QStringLiteral("等级"), strip));
    g->addWidget(memberGrade_);
    balancePanel_ = new QWidget(strip);
    balancePanel_->setObjectName(QStringLiteral("Panel9"));
    auto *b = new QHBoxLayout(balancePanel_);
    b->setContentsMargins(0, 0, 0, 0);
    memberBalance_ = valueLabel(QStringLiteral("vipm"), balancePanel_);
    b->addWidget(caption(QStringLiteral("储值卡余额："), balancePanel_));
    b->addWidget(memberBalance_);
    g->addWidget(balancePanel_);
    g->addStretch(1);
    themed_ << strip;
    return strip;
}

QWidget *TMainForm::buildCentre()
{
    auto *centre = new QWidget(this);
    auto *row = new QHBoxLayout(centre);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    centre_ = new QStackedWidget(centre);
    grid_ = new SalesGrid(*model_, *sale_, centre_);
    summary_ = new QWidget(centre_);
    summary_->setObjectName(QStringLiteral("Panel4"));
    paint(summary_, Qt::white, Qt::black);
    new QVBoxLayout(summary_);
    centre_->addWidget(grid_);
    centre_->addWidget(summary_);
    row->addWidget(centre_, 1);

    practiceBadge_ = new QLabel(QStringLiteral("练习收银"), grid_);
    practiceBadge_->setObjectName(QStringLiteral("Panel6"));
    practiceBadge_->setAlignment(Qt::AlignCenter);
    practiceBadge_->setStyleSheet(
        QStringLiteral("background: #c00000; color: white; border: 2px solid white; padding: 6px;"));
    setPointSize(practiceBadge_, 20, true);
    practiceBadge_->adjustSize();
    practiceBadge_->hide();

    keyHelp_ = new QFrame(this);
    keyHelp_->setObjectName(QStringLiteral("Pnl_cli_3_B"));
    keyHelp_->setFrameShape(QFrame::StyledPanel);
    auto *lines = new QVBoxLayout(keyHelp_);
    lines->setContentsMargins(6, 4, 6, 4);
    lines->setSpacing(0);
    for (const QString &text : KeyHelpLines) {
        auto *l = new QLabel(text, keyHelp_);
        lines->addWidget(l);
    }
    version_ = valueLabel(QStringLiteral("LAB_VER"), keyHelp_);
    lines->addWidget(version_);
    lines->addStretch(1);
    keyHelp_->hide();
    themed_ << keyHelp_;
    return centre;
}

QWidget *TMainForm::buildTotals()
{
    auto *strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("Panel7"));
    paint(strip, Qt::white, Qt::black);
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
    total_ = figure(QStringLiteral("合计："), QStringLiteral("LAB_TOL02"), 36);
    total_->setStyleSheet(QStringLiteral("color: #c00000;"));
    quantity_ = figure(QStringLiteral("数量："), QStringLiteral("Lab_sl"), 22);
    saving_ = figure(QStringLiteral("共优惠："), QStringLiteral("LAB_YH"), 22);
    return strip;
}

QWidget *TMainForm::buildBottomPanels()
{
    auto *holder = new QWidget(this);
    auto *stack = new QVBoxLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    const auto panel = [&](const QString &name, const QString &editName, const QString &helpName, QLineEdit **edit,
                           QLabel **help) {
        auto *p = new QWidget(holder);
        p->setObjectName(name);
        auto *row = new QHBoxLayout(p);
        row->setContentsMargins(8, 6, 8, 6);
        auto *e = new QLineEdit(p);
        e->setObjectName(editName);
        e->setMaxLength(CommandLine::MaxLength);
        setPointSize(e, 18, true);
        e->setMinimumWidth(320);
        e->installEventFilter(this);
        connect(e, &QLineEdit::textChanged, this, [this](const QString &text) { commandLine_->TMCOLORChange(text); });
        auto *h = new QLabel(p);
        h->setObjectName(helpName);
        setPointSize(h, 13, true);
        row->addWidget(e);
        row->addWidget(h, 1);
        stack->addWidget(p);
        *edit = e;
        *help = h;
        return p;
    };
    bottomColour_ = panel(QStringLiteral("Pnl_bom"), QStringLiteral("TMCOLOR"), QStringLiteral("HELP_COLOR"),
                          &editColour_, &helpColour_);
    bottomBlack_ = panel(QStringLiteral("Pnl_bom_B"), QStringLiteral("TMBLACK"), QStringLiteral("HELP_BLACK"),
                         &editBlack_, &helpBlack_);
    themed_ << bottomColour_;
    return holder;
}

int TMainForm::keyHelpFontSize(int screenHeight)
{
    if (screenHeight <= 600)
        return 9;
    return screenHeight <= 768 ? 11 : 12;
}

void TMainForm::screenHeightFonts()
{
    const QScreen *screen = QWidget::screen() ? QWidget::screen() : QGuiApplication::primaryScreen();
    const int height = screen ? screen->geometry().height() : 768;
    const int size = keyHelpFontSize(height);
    const int controlHeight = height <= 600 ? 14 : (height <= 768 ? 20 : 22);
    setPointSize(keyHelp_, size);
    for (QLabel *l : keyHelp_->findChildren<QLabel *>()) {
        setPointSize(l, size);
        l->setFixedHeight(controlHeight);
    }
}

void TMainForm::applyConfig(const TerminalConfig &config)
{
    config_ = config;
    setWindowTitle(config.title);
    title_->setText(config.title);
    welcome_->setText(config.welcome);
    welcomeBlack_->setText(config.welcome);
    keys_->setKeyHelpVisible(config.keyHelpVisible);
    if (config.grid) {
        for (int c = 0; c < GridLayout::ColumnCount; ++c) {
            if (GridLayout::hasStoredWidth(c))
                grid_->setColumnWidth(c, config.grid->widths[std::size_t(c)]);
        }
        grid_->setFontSizes(config.grid->fontSize, config.grid->titleFontSize);
        model_->setBarcodeColumnVisible(config.grid->column1Visible);
        model_->setGroupValueColumnVisible(config.grid->column14Visible);
    }
    systemLogo_->setVisible(!config.hideSystemLogo);
    if (!config.logoFile.isEmpty()) {
        const QPixmap logo(config.logoFile);
        if (!logo.isNull()) {
            customerLogo_->setPixmap(logo.scaledToHeight(48, Qt::SmoothTransformation));
            customerLogo_->show();
        }
    }
    balancePanel_->setVisible(config.storedValuePanel);
    keys_->setPrintSwitch(config.printSwitch);
    version_->setText(QStringLiteral("版本：") + config.version);
    applyColours();
    if (!config.skins.isEmpty())
        applySkin(config.skinIndex);
    setColourScreen(true);
    // The minimise key belongs to the till from start-up to the end.
    if (hotKey_ && config.minimiseHotKey > 0)
        hotKey_->registerKey(config.minimiseHotKey);
}

void TMainForm::applyColours()
{
    const QColor panel = fromBgr(config_.themeColor);
    const QColor highlight = fromBgr(config_.themeFontColor);
    for (QWidget *w : std::as_const(themed_))
        paint(w, colour_ ? panel : Qt::black, Qt::white);
    paint(topBlack_, Qt::black, Qt::white);
    paint(bottomBlack_, Qt::black, Qt::white);
    SaleGridTheme theme = model_->theme();
    theme.highlight = highlight;
    theme.gridHighlight = colour_ ? panel.darker(130) : QColor(Qt::black);
    theme.gridColor = colour_ ? QColor(Qt::white) : QColor(Qt::black);
    theme.fontColor = colour_ ? QColor(Qt::black) : QColor(Qt::white);
    model_->setTheme(theme);
    QPalette base = grid_->table()->palette();
    base.setColor(QPalette::Base, theme.gridColor);
    grid_->table()->setPalette(base);
    QPalette header = grid_->table()->horizontalHeader()->palette();
    header.setColor(QPalette::Button, colour_ ? panel : QColor(Qt::black));
    header.setColor(QPalette::ButtonText, Qt::white);
    grid_->table()->horizontalHeader()->setPalette(header);
}

void TMainForm::applySkin(int index)
{
    if (index < 0 || index >= config_.skins.size())
        return;
    QFile file(folder_.path(QStringLiteral("skin/") + config_.skins.at(index)));
    if (!file.open(QIODevice::ReadOnly)) {
        setStyleSheet(QString());
        return;
    }
    setStyleSheet(QString::fromUtf8(file.readAll()));
    config_.skinIndex = index;
}

// ---- session

void TMainForm::startSession()
{
    Connection &connection = link_.connection();
    terminal_->setText(session_.terminal.terminalId);
    warehouse_->setText(session_.terminal.warehouseName);
    card_->clear();
    memberName_->clear();
    shift_->setText(session_.terminal.shiftEnabled ? QStringLiteral("当班") : QString());
    showOnline(connection.isOffline());
    grid_->applyVisibility();
    sale_->applyAmountDecimals(session_.formats.amountDecimals);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    if (!isVisible()) {
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QWidget::show();
        else
            showFullScreen();
    }
    raise();
    activateWindow();

    if (session_.connection.net == 0 && !connection.isOffline()) {
        Session::Connection &c = session_.connection;
        c.gPos = QStringLiteral("*");
        c.guid = getGuid();
        const bool linked = link_.service().tcpSend(
            QStringLiteral("Connect"),
            {session_.identity.userId + QLatin1Char(' ') + session_.identity.userName,
             c.dbName + QLatin1Char(' ') + session_.identity.version, QStringLiteral("0"), adapterToken(), c.gPos,
             c.guid, QString(), QString(), QString()});
        if (const auto factory = link_.watchClientFactory()) {
            watch_ = std::make_unique<NetworkWatch>(connection, factory, clock_);
            watch_->setLinkUp(linked);
            watch_->start();
        }
    }
    committer_->StartNewSlip(false, false);
    lock_->setLockMinutes(config_.lockSeconds / 60);
    if (config_.lockSeconds > 0)
        lock_->startIdleTimer();
    settingsForm_->load();
    focusCommandLine();
}

void TMainForm::firstActivation()
{
    if (activated_)
        return;
    activated_ = true;
    if (hooks_)
        hooks_->checkShiftState();
    const Session::Connection &c = session_.connection;
    if (hooks_ && c.offlineAllowed && config_.downloadAfterLogin && c.net == 0 && !c.offline) {
        const auto [code, summary] = hooks_->synchroniseAutomatically();
        if (code == 1000)
            showHelpText(AutoSyncFailedText);
        else if (code == 2000)
            showHelpText(AutoUploadFailedText);
        else
            showHelpText(AutoSyncDoneText + summary);
    }
    focusCommandLine();
}

void TMainForm::closeLoginRecord()
{
    Session &s = session_;
    const bool offline = s.connection.offline;
    if ((s.connection.net != 1 && !offline) || s.terminal.loginGuid.isEmpty())
        return;
    const QString end = offline ? QLatin1Char('\'') + formatDateTime(clock_.now()) + QLatin1Char('\'')
                                : QStringLiteral("getdate()");
    link_.connection().execServerSql(
        QStringLiteral("211"), QStringLiteral("E"), QString(),
        QStringLiteral("update sys_log_login set guid=null,enddate=") + end + QStringLiteral(" where guid='")
            + s.terminal.loginGuid + QLatin1Char('\''),
        offline ? route::Offline : route::Server);
    s.terminal.loginGuid.clear();
}

void TMainForm::logout()
{
    // The logout key has refused a sale with lines already.
    session_.terminal.onDuty = false;
    const QList<QDialog *> dialogs = findChildren<QDialog *>();
    for (auto it = dialogs.crbegin(); it != dialogs.crend(); ++it) {
        if ((*it)->isVisible())
            (*it)->close();
    }
    lock_->stopIdleTimer();
    if (watch_) {
        watch_->stop();
        watch_.reset();
    }
    session_.connection.loginFlag = false;
    closeLoginRecord();
    session_.terminal.loginGuid.clear();

    if (runLogin_ && runLogin_()) {
        startSession();
        if (hooks_)
            hooks_->checkShiftState();
        return;
    }
    close();
}

// ---- tray and hot key

void TMainForm::setHotKey(HotKey *hotKey)
{
    hotKey_ = hotKey;
    if (hotKey_)
        connect(hotKey_, &HotKey::pressed, this, &TMainForm::hotKeyPressed);
}

MainWindowState TMainForm::windowStateNow() const
{
    return mainWindowState(isVisible(), windowState());
}

void TMainForm::hotKeyPressed(int minKey)
{
    HotKeyPress press;
    press.window = windowStateNow();
    press.sessionOpen = session_.connection.loginFlag;
    press.minKey = config_.minimiseHotKey;
    press.registeredKey = hotKey_ && minKey == hotKey_->registeredKey();
    press.dialogOpen = QApplication::activeModalWidget() != nullptr;
    applyToggle(onHotKey(press));
}

void TMainForm::applyToggle(WindowToggle toggle)
{
    switch (toggle) {
    case WindowToggle::ShowMaximisedHideTray:
    case WindowToggle::RestoreMaximisedHideTray:
        if (tray_)
            tray_->hide();
        showFullScreen();
        raise();
        activateWindow();
        focusCommandLine();
        break;
    case WindowToggle::Minimise:
        // With a tray icon the till steps aside into the tray; without one it minimises.
        if (tray_ && trayIconEnabled(config_.minimiseHotKey)) {
            tray_->show();
            hide();
        } else {
            showMinimized();
        }
        break;
    case WindowToggle::Nothing:
        break;
    }
}

// ---- scenarios

QList<std::pair<QString, QString>> TMainForm::screenLabels()
{
    QList<std::pair<QString, QString>> out;
    // Before the first login and after the close nothing of the screen is on view.
    if (!isVisible())
        return out;
    const auto add = [&out](const QWidget *w, const QString &text) {
        if (w->isVisibleTo(w->window()))
            out.append({w->objectName(), text});
    };
    for (QLabel *l : {title_, welcome_, welcomeBlack_, terminal_, warehouse_, cashier_, salesperson_, slipNumber_,
                      date_, shift_, online_, offline_, print_, card_, memberName_, memberRate_, memberPoints_,
                      memberGrade_, memberBalance_}) {
        add(l, l->text());
    }
    add(practiceBadge_, practiceBadge_->text());
    if (centre_->currentWidget() == summary_) {
        QStringList rows;
        for (const QLabel *l : summary_->findChildren<QLabel *>())
            rows << l->text();
        out.append({summary_->objectName(), rows.join(QLatin1Char('|'))});
    }
    for (QLabel *l : {total_, quantity_, saving_})
        add(l, l->text());
    add(keyHelp_, QString());
    add(version_, version_->text());
    add(commandEdit(), commandEdit()->text());
    add(helpLabel(), helpLabel()->text());
    return out;
}

QList<QList<std::pair<QString, QString>>> TMainForm::gridRows()
{
    QList<QList<std::pair<QString, QString>>> out;
    for (const SaleLine &l : sale_->lines()) {
        out.append({{QStringLiteral("TM"), l.tm()},
                    {QStringLiteral("WL_ID"), l.wlId()},
                    {QStringLiteral("WL_NAME"), l.wlName()},
                    {QStringLiteral("SL"), QString::number(l.sl())},
                    {QStringLiteral("ODJ"), QString::number(l.odj())},
                    {QStringLiteral("ZK"), QString::number(l.zk())},
                    {QStringLiteral("SJ"), QString::number(l.sj())},
                    {QStringLiteral("SMONEY"), QString::number(l.smoney())},
                    {QStringLiteral("G"), QString::number(l.g())},
                    {QStringLiteral("NOTE"), l.note()}});
    }
    return out;
}

bool TMainForm::offline() const
{
    return session_.connection.offline;
}

void TMainForm::advanceTime(int seconds)
{
    if (advanceClock_)
        advanceClock_(seconds);
    if (lock_->isIdleTimerActive())
        lock_->tick();
}

// ---- SlipScreen

QString TMainForm::salesperson() const
{
    return salesperson_->text();
}

bool TMainForm::practiceMode() const
{
    return keys_->practiceMode();
}

bool TMainForm::printToggle() const
{
    return keys_->printSwitch();
}

bool TMainForm::darkPanel() const
{
    return !colour_;
}

void TMainForm::setInputLocked(bool locked)
{
    commandLine_->setInputLocked(locked);
}

void TMainForm::showStatus(const QString &text)
{
    showHelpText(text);
}

void TMainForm::showSlipNumber(const QString &number)
{
    slipNumber_->setText(number);
}

void TMainForm::showSlipDate(const QString &date)
{
    date_->setText(date);
}

void TMainForm::showSummary(const SettlementSummary &summary)
{
    QLayout *rows = summary_->layout();
    while (QLayoutItem *item = rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const int height = summary.rowHeight(centre_->height());
    for (const SettlementSummary::Row &r : summary.rows) {
        auto *l = new QLabel(r.caption + QStringLiteral("  ") + r.amount, summary_);
        l->setAlignment(Qt::AlignCenter);
        QFont f(QStringLiteral("monospace"));
        f.setStyleHint(QFont::Monospace);
        f.setPixelSize(std::clamp(height * 6 / 10, 14, 64));
        f.setBold(true);
        l->setFont(f);
        rows->addWidget(l);
    }
    centre_->setCurrentWidget(summary_);
}

void TMainForm::resetForNewSlip()
{
    cashier_->setText(session_.identity.userId);
    card_->clear();
    memberName_->clear();
    salesperson_->clear();
    memberPoints_->clear();
    memberRate_->clear();
    memberGrade_->clear();
    memberBalance_->setText(QStringLiteral("0"));
    {
        const QSignalBlocker a(editColour_);
        const QSignalBlocker b(editBlack_);
        editColour_->clear();
        editBlack_->clear();
    }
    showHelpText(QString());
    showTotals();
}

// ---- SalesScreenView

void TMainForm::showHelpText(const QString &text)
{
    helpColour_->setText(text);
    helpBlack_->setText(text);
}

void TMainForm::setKeyHelpVisible(bool visible)
{
    keyHelp_->setVisible(visible);
}

void TMainForm::setPrintSwitchShown(bool on)
{
    print_->setText(SalesKeys::switchWord(on));
}

void TMainForm::setPracticeBadgeVisible(bool visible)
{
    placePracticeBadge();
    practiceBadge_->setVisible(visible);
    practiceBadge_->raise();
}

void TMainForm::placePracticeBadge()
{
    practiceBadge_->adjustSize();
    const int x = (grid_->width() - practiceBadge_->width()) / 2;
    const int y = grid_->height() - 20 - practiceBadge_->height();
    practiceBadge_->move(std::max(0, x), std::max(0, y));
}

void TMainForm::setColourScreen(bool colour)
{
    const QString text = commandEdit() ? commandEdit()->text() : QString();
    colour_ = colour;
    topColour_->setVisible(colour && config_.fullLayout);
    bottomColour_->setVisible(colour);
    topBlack_->setVisible(!colour && config_.fullLayout);
    bottomBlack_->setVisible(!colour);
    {
        const QSignalBlocker blocker(commandEdit());
        commandEdit()->setText(text);
    }
    applyColours();
    focusCommandLine();
}

void TMainForm::hideSummary()
{
    centre_->setCurrentWidget(grid_);
}

void TMainForm::clearCommandLine()
{
    commandEdit()->clear();
}

void TMainForm::executeCommandLine()
{
    QLineEdit *edit = commandEdit();
    const std::optional<QString> next = commandLine_->ExecuteCommand(edit->text());
    if (next) {
        const QSignalBlocker blocker(edit);
        edit->setText(*next);
    }
    // A picker or a member dialog may have had the focus.
    focusCommandLine();
}

void TMainForm::openTerminalSettings()
{
    QList<ReceiptLine> lines;
    for (const SaleLine &l : sale_->lines())
        lines << receiptLine(l);
    TS004 dialog(*settingsForm_, this);
    dialog.prepareSettings(lines);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TerminalSettings &s = settings_;
    config_.welcome = s.slogan();
    welcome_->setText(config_.welcome);
    welcomeBlack_->setText(config_.welcome);
    config_.storedValuePanel = s.tenderStoredValue();
    balancePanel_->setVisible(config_.storedValuePanel);
    config_.hideSystemLogo = s.hideSystemLogo();
    systemLogo_->setVisible(!config_.hideSystemLogo);
    config_.lockSeconds = s.lockMinutes() * 60;
    lock_->setLockMinutes(s.lockMinutes());
    if (config_.lockSeconds > 0)
        lock_->startIdleTimer();
    else
        lock_->stopIdleTimer();
    sale_->applyAmountDecimals(session_.formats.amountDecimals);
    focusCommandLine();
}

void TMainForm::nextSkin()
{
    if (config_.skins.isEmpty())
        return;
    const int next = (config_.skinIndex + 1) % int(config_.skins.size());
    UserPreferences(folder_.path(session_.identity.iniFileName)).setSkinListIndex(next);
    applySkin(next);
    QCoreApplication::processEvents();
}

void TMainForm::lockScreen()
{
    TS002::lockScreen(*lock_, this, cashier_->text());
    focusCommandLine();
}

void TMainForm::chooseBusinessDate()
{
    TS012 dialog(this);
    if (dialog.ask(committer_->businessDate()))
        date_->setText(committer_->businessDate().text());
    focusCommandLine();
}

void TMainForm::closeScreen()
{
    close();
}

void TMainForm::settleSale()
{
    committer_->settleSale();
    focusCommandLine();
}

void TMainForm::settleTopUp()
{
    committer_->settleTopUp();
    focusCommandLine();
}

void TMainForm::show(Indicator indicator, const QString &value)
{
    devices_->showOnDisplay(QChar(static_cast<char>(indicator)), value);
}

// ---- labels

void TMainForm::showCard(const MemberCard &card)
{
    card_->setText(card.vipId);
    memberName_->setText(card.name);
    memberRate_->setText(card.selected() ? card.rate.toPlainString() : QString());
    memberPoints_->setText(card.selected() ? QString::number(card.points) : QString());
    memberGrade_->setText(card.selected() ? QString::number(card.grade) : QString());
    memberBalance_->setText(card.selected() ? card.balance.toPlainString() : QStringLiteral("0"));
}

void TMainForm::showTotals()
{
    const TotalLabels &t = sale_->labels();
    total_->setText(t.total.isEmpty() ? QStringLiteral("0") : t.total);
    quantity_->setText(t.quantity.isEmpty() ? QStringLiteral("0") : t.quantity);
    saving_->setText(t.saving.isEmpty() ? QStringLiteral("0") : t.saving);
}

void TMainForm::showOnline(bool offlineShown)
{
    online_->setVisible(!offlineShown);
    offline_->setVisible(offlineShown);
}

void TMainForm::focusCommandLine()
{
    if (QLineEdit *edit = commandEdit()) {
        if (isVisible()) {
            activateWindow();
            edit->setFocus(Qt::OtherFocusReason);
        }
    }
}

// ---- events

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == editColour_ || watched == editBlack_)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (keys_->keyDown(key->key(), key->modifiers()))
            return true;
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint() && !commandLine_->TMCOLORKeyPress(text.at(0)))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::keyPressEvent(QKeyEvent *event)
{
    // A key that reached the window itself (the command line had lost the focus to a dialog
    // that has closed) goes to the command line, through the same filter as typed keys. A
    // key the command line leaves comes back up here and stops.
    if (forwardingKey_) {
        QWidget::keyPressEvent(event);
        return;
    }
    forwardingKey_ = true;
    QLineEdit *edit = commandEdit();
    focusCommandLine();
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat(),
                   ushort(event->count()));
    QCoreApplication::sendEvent(edit, &copy);
    forwardingKey_ = false;
    event->setAccepted(copy.isAccepted());
}

void TMainForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    placePracticeBadge();
}

void TMainForm::saveScreenSettings()
{
    settings_.setWarehouseName(warehouse_->text());
    settings_.setFullLayout(config_.fullLayout);
    settings_.setKeyHelpVisible(keys_->keyHelpVisible());
    settings_.setThemeColor(config_.themeColor);
    settings_.setThemeFontColor(config_.themeFontColor);
    GridLayout layout;
    for (int c = 0; c < GridLayout::ColumnCount; ++c)
        layout.widths[std::size_t(c)] = grid_->columnWidth(c);
    layout.fontSize = grid_->table()->font().pointSize();
    layout.titleFontSize = grid_->table()->horizontalHeader()->font().pointSize();
    layout.column1Visible = model_->isColumnVisible(SaleTableModel::BarcodeColumn);
    layout.column14Visible = model_->isColumnVisible(SaleTableModel::GroupValueColumn);
    settings_.writeGridLayout(layout);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (closing_) {
        event->accept();
        return;
    }
    closing_ = true;
    if (isVisible())
        saveScreenSettings();
    lock_->stopIdleTimer();
    if (watch_)
        watch_->stop();
    closeLoginRecord();
    // Nothing more goes to the server.
    session_.connection.offline = true;
    devices_->closePorts();
    if (hotKey_)
        hotKey_->unregisterKey();
    event->accept();
}

} // namespace vorel
