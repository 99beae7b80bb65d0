#include "printing/ui/terminalsettingsdialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>

#include "core/resultset.h"
#include "printing/sessionreceiptprinter.h"
#include "printing/terminalsettingsform.h"
#include "printing/ui/templatepickers.h"

namespace vorel {

namespace {

const char kTag[] = "tag";

// Templates are kept with CR LF; the edits show plain line breaks.
QString toEdit(const QString &text)
{
    return QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString fromEdit(const QString &text)
{
    return QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QSpinBox *spin(QWidget *parent, const char *name, int min, int max)
{
    auto *box = named(new QSpinBox(parent), name);
    box->setRange(min, max);
    return box;
}

QComboBox *combo(QWidget *parent, const char *name, const QStringList &items, bool editable)
{
    auto *box = named(new QComboBox(parent), name);
    box->addItems(items);
    box->setEditable(editable);
    if (editable)
        box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

void setComboText(QComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
    else if (box->isEditable())
        box->setEditText(text);
}

} // namespace

const QString TerminalSettingsDialog::Caption = QStringLiteral("POS终端设置");

TerminalSettingsDialog::TerminalSettingsDialog(TerminalSettingsForm &form, QWidget *parent)
    : QDialog(parent), form_(form)
{
    // The test prints and previews go through the session's own page printer, which the
    // dialog leaves in place: receipts after the dialog print as before it.
    setObjectName(QStringLiteral("TS004"));
    setWindowTitle(Caption);
    buildControls();
    form_.load();
    loadFromForm();
}

TerminalSettingsDialog::~TerminalSettingsDialog() = default;

void TerminalSettingsDialog::buildControls()
{
    // Tenders, slogan, logo, others.
    auto *tenders = new QGroupBox(QStringLiteral("支付项目："), this);
    ff1_ = named(new QCheckBox(QStringLiteral("抹零"), tenders), "FF1");
    ff2_ = named(new QCheckBox(QStringLiteral("现金券"), tenders), "FF2");
    ff3_ = named(new QCheckBox(QStringLiteral("会员储值卡"), tenders), "FF3");
    ff4_ = named(new QCheckBox(QStringLiteral("银联"), tenders), "FF4");
    auto *tenderRow = new QHBoxLayout(tenders);
    for (QCheckBox *box : {ff1_, ff2_, ff3_, ff4_})
        tenderRow->addWidget(box);

    auto *sloganBox = new QGroupBox(QStringLiteral("窗口标语："), this);
    slogan_ = named(new QLineEdit(sloganBox), "bsSkinEdit1");
    (new QHBoxLayout(sloganBox))->addWidget(slogan_);

    auto *logoBox = new QGroupBox(QStringLiteral("LOGO路径："), this);
    logo_ = named(new QLineEdit(logoBox), "LOGO");
    auto *logoButton = named(new QPushButton(QStringLiteral("..."), logoBox), "logoButton");
    logoImage_ = named(new QLabel(logoBox), "Image1");
    logoImage_->setFixedSize(150, 60);
    connect(logoButton, &QPushButton::clicked, this, &TerminalSettingsDialog::pickLogo);
    auto *logoRow = new QGridLayout(logoBox);
    logoRow->addWidget(logo_, 0, 0);
    logoRow->addWidget(logoButton, 0, 1);
    logoRow->addWidget(new QLabel(QStringLiteral("PNG格式图片 宽x高:(150x60)"), logoBox), 1, 0);
    logoRow->addWidget(logoImage_, 0, 2, 2, 1);

    auto *others = new QGroupBox(QStringLiteral("其  他："), this);
    ot1_ = named(new QCheckBox(QStringLiteral("登录即下载脱机数据(网络版有效)"), others), "OT1");
    ot2_ = named(new QCheckBox(QStringLiteral("找零不可大于100"), others), "OT2");
    ot3_ = named(new QCheckBox(QStringLiteral("不显示系统LOGO"), others), "OT3");
    auto *otherRow = new QHBoxLayout(others);
    for (QCheckBox *box : {ot1_, ot2_, ot3_})
        otherRow->addWidget(box);

    // Printer.
    auto *printer = new QGroupBox(QStringLiteral("打印机"), this);
    chk1_ = named(new QCheckBox(QStringLiteral("启用打印机"), printer), "chk1");
    chk31_ = named(new QRadioButton(QStringLiteral("无驱"), printer), "chk31");
    chk32_ = named(new QRadioButton(QStringLiteral("有驱动"), printer), "chk32");
    auto *driverGroup = new QButtonGroup(printer);
    driverGroup->addButton(chk31_);
    driverGroup->addButton(chk32_);
    chk33_ = named(new QCheckBox(QStringLiteral("结算时打印"), printer), "chk33");
    chk34_ = named(new QCheckBox(QStringLiteral("边扫描边打印"), printer), "chk34");
    chk35_ = named(new QCheckBox(QStringLiteral("上单打印完后即打印下单标题"), printer), "chk35");
    chk36_ = named(new QCheckBox(QStringLiteral("进入系统即把打印开关置为开"), printer), "chk36");
    cmb1_ = combo(printer, "cmb1", TerminalSettingsForm::Ports, false);
    cmb2_ = combo(printer, "cmb2", TerminalSettingsForm::BaudRates, true);
    cmb5_ = combo(printer, "CMB5", TerminalSettingsForm::PaperCutCommands, true);
    num1_ = named(new QDoubleSpinBox(printer), "NUM1");
    num1_->setRange(TerminalSettingsForm::MinDelay, TerminalSettingsForm::MaxDelay);
    num1_->setDecimals(1);
    num1_->setSingleStep(0.1);
    cmb6_ = spin(printer, "CMB6", TerminalSettingsForm::MinPaperWidth, TerminalSettingsForm::MaxPaperWidth);
    cmb6_->setSuffix(QStringLiteral("MM"));
    fontTitle_ = spin(printer, "font_title", TerminalSettingsForm::MinTitleFont, TerminalSettingsForm::MaxTitleFont);
    fontD_ = spin(printer, "font_d", TerminalSettingsForm::MinLineFont, TerminalSettingsForm::MaxLineFont);
    auto *printerGrid = new QGridLayout(printer);
    printerGrid->addWidget(chk1_, 0, 0);
    printerGrid->addWidget(chk31_, 0, 1);
    printerGrid->addWidget(chk32_, 0, 2);
    printerGrid->addWidget(chk33_, 1, 0);
    printerGrid->addWidget(chk34_, 1, 1);
    printerGrid->addWidget(chk35_, 2, 0, 1, 2);
    printerGrid->addWidget(chk36_, 3, 0, 1, 2);
    const std::pair<const char *, QWidget *> printerFields[] = {
        {"打印端口", cmb1_},   {"端口波特率", cmb2_}, {"切纸指令", cmb5_}, {"小票打印延时", num1_},
        {"小票打印尺寸", cmb6_}, {"有驱打印时店名字号：", fontTitle_}, {"有驱打印时明细字号：", fontD_}};
    int row = 4;
    for (const auto &[caption, field] : printerFields) {
        printerGrid->addWidget(new QLabel(QString::fromUtf8(caption), printer), row, 0);
        printerGrid->addWidget(field, row++, 1, 1, 2);
    }

    // Display and drawer.
    auto *display = new QGroupBox(QStringLiteral("顾显"), this);
    chk2_ = named(new QCheckBox(QStringLiteral("启用顾显"), display), "chk2");
    cmb3_ = combo(display, "cmb3", TerminalSettingsForm::Ports, false);
    cmb4_ = combo(display, "cmb4", TerminalSettingsForm::BaudRates, true);
    auto *displayGrid = new QGridLayout(display);
    displayGrid->addWidget(chk2_, 0, 0, 1, 2);
    displayGrid->addWidget(new QLabel(QStringLiteral("顾显接口"), display), 1, 0);
    displayGrid->addWidget(cmb3_, 1, 1);
    displayGrid->addWidget(new QLabel(QStringLiteral("端口波特率"), display), 2, 0);
    displayGrid->addWidget(cmb4_, 2, 1);

    auto *drawer = new QGroupBox(QStringLiteral("钱箱"), this);
    chk3_ = named(new QCheckBox(QStringLiteral("启用钱箱"), drawer), "chk3");
    cmb7_ = combo(drawer, "cmb7", TerminalSettingsForm::DrawerConnections, false);
    cmb8_ = combo(drawer, "cmb8", TerminalSettingsForm::DrawerCommands, true);
    auto *drawerGrid = new QGridLayout(drawer);
    drawerGrid->addWidget(chk3_, 0, 0, 1, 2);
    drawerGrid->addWidget(new QLabel(QStringLiteral("钱箱接口"), drawer), 1, 0);
    drawerGrid->addWidget(cmb7_, 1, 1);
    drawerGrid->addWidget(new QLabel(QStringLiteral("开钱箱指令"), drawer), 2, 0);
    drawerGrid->addWidget(cmb8_, 2, 1);

    // Amounts and timings.
    auto *amounts = new QGroupBox(QStringLiteral("金额"), this);
    param19_ = spin(amounts, "chkparam19", 0, 2);
    const char *roundingNames[] = {"chkparam20_1", "chkparam20_2", "chkparam20_3"};
    const char *roundingCaptions[] = {"四舍五入", "直接进位", "直接抹去"};
    auto *roundingGroup = new QButtonGroup(amounts);
    auto *amountGrid = new QGridLayout(amounts);
    amountGrid->addWidget(new QLabel(QStringLiteral("金额小数位数："), amounts), 0, 0);
    amountGrid->addWidget(param19_, 0, 1);
    amountGrid->addWidget(new QLabel(QStringLiteral("金额计算方法："), amounts), 1, 0);
    for (int i = 0; i < 3; ++i) {
        param20_[i] = named(new QRadioButton(QString::fromUtf8(roundingCaptions[i]), amounts), roundingNames[i]);
        roundingGroup->addButton(param20_[i]);
        amountGrid->addWidget(param20_[i], 1, i + 1);
    }

    auto *timings = new QGroupBox(QStringLiteral("时间"), this);
    num2_ = spin(timings, "NUM2", 0, 999);
    num3_ = spin(timings, "NUM3", TerminalSettingsForm::MinServerTimeout, TerminalSettingsForm::MaxServerTimeout);
    fhcdb_ = spin(timings, "FHCDB", TerminalSettingsForm::MinKeepDays, TerminalSettingsForm::MaxKeepDays);
    fhcxs_ = spin(timings, "FHCXS", TerminalSettingsForm::MinKeepDays, TerminalSettingsForm::MaxKeepDays);
    minKey_ = combo(timings, "MINKEY", TerminalSettingsForm::MinimiseKeys, true);
    auto *timingGrid = new QGridLayout(timings);
    timingGrid->addWidget(new QLabel(QStringLiteral("隔"), timings), 0, 0);
    timingGrid->addWidget(num2_, 0, 1);
    timingGrid->addWidget(new QLabel(QStringLiteral("分钟无操作即锁屏"), timings), 0, 2, 1, 3);
    timingGrid->addWidget(new QLabel(QStringLiteral("隔"), timings), 1, 0);
    timingGrid->addWidget(num3_, 1, 1);
    timingGrid->addWidget(new QLabel(QStringLiteral("秒服务器无响应即自动切换成【离线】"), timings), 1, 2, 1, 3);
    timingGrid->addWidget(new QLabel(QStringLiteral("离线数据保留   当班"), timings), 2, 0);
    timingGrid->addWidget(fhcdb_, 2, 1);
    timingGrid->addWidget(new QLabel(QStringLiteral("天   销售单"), timings), 2, 2);
    timingGrid->addWidget(fhcxs_, 2, 3);
    timingGrid->addWidget(new QLabel(QStringLiteral("天"), timings), 2, 4);
    timingGrid->addWidget(new QLabel(QStringLiteral("最小化到托盘快捷键"), timings), 3, 0);
    timingGrid->addWidget(minKey_, 3, 1);

    // Templates.
    auto *templates = new QGroupBox(QStringLiteral("小票模板选择"), this);
    memo1_ = named(new QPlainTextEdit(templates), "Memo1");
    memo3_ = named(new QPlainTextEdit(templates), "Memo3");
    memo2_ = named(new QPlainTextEdit(templates), "Memo2");
    for (QPlainTextEdit *memo : {memo1_, memo3_, memo2_}) {
        memo->installEventFilter(this);
        memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        memo->setFont(QFont(QStringLiteral("monospace")));
    }
    swapLabel_ = named(new QLabel(QStringLiteral("<<-上下调换"), templates), "Label4");
    swapLabel_->setCursor(Qt::PointingHandCursor);
    swapLabel_->installEventFilter(this);
    auto *button4 = named(new QPushButton(QStringLiteral("从软件自带"), templates), "Button4");
    auto *button6 = named(new QPushButton(QStringLiteral("从其他收银机上传的模板"), templates), "Button6");
    auto *button7 = named(new QPushButton(QStringLiteral("保存模板到服务器"), templates), "Button7");
    connect(button4, &QPushButton::clicked, this, &TerminalSettingsDialog::takeBuiltInTemplate);
    connect(button6, &QPushButton::clicked, this, &TerminalSettingsDialog::takeOtherTillsTemplate);
    connect(button7, &QPushButton::clicked, this, &TerminalSettingsDialog::saveTemplatesToServer);
    auto *templateGrid = new QGridLayout(templates);
    templateGrid->addWidget(memo1_, 0, 0, 1, 2);
    templateGrid->addWidget(memo3_, 1, 0);
    templateGrid->addWidget(swapLabel_, 1, 1);
    templateGrid->addWidget(memo2_, 2, 0, 1, 2);
    templateGrid->addWidget(new QLabel(QStringLiteral("换行请输入(ctrl+回车)"), templates), 3, 0, 1, 2);
    auto *templateButtons = new QHBoxLayout;
    for (QPushButton *button : {button4, button6, button7})
        templateButtons->addWidget(button);
    templateGrid->addLayout(templateButtons, 4, 0, 1, 2);

    // Tests and OK.
    const std::tuple<const char *, const char *, int> tests[] = {
        {"Button1", "测试打印", 1}, {"Button5", "预览小票", 2}, {"Button3", "测试顾显", 3}, {"Button2", "测试钱箱", 4}};
    auto *bottom = new QHBoxLayout;
    for (const auto &[name, caption, tag] : tests) {
        auto *button = named(new QPushButton(QString::fromUtf8(caption), this), name);
        button->setProperty(kTag, tag);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, &TerminalSettingsDialog::runTest);
        bottom->addWidget(button);
    }
    bottom->addStretch();
    auto *ok = named(new QPushButton(QStringLiteral("确定"), this), "btn_ok");
    auto *cancel = named(new QPushButton(QStringLiteral("取消"), this), "btn_Cancel");
    connect(ok, &QPushButton::clicked, this, &TerminalSettingsDialog::okClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    bottom->addWidget(ok);
    bottom->addWidget(cancel);

    // Typing into these lists takes digits only; other values come from the lists.
    for (QComboBox *box : {cmb2_, cmb4_, cmb5_, cmb8_, minKey_})
        box->lineEdit()->installEventFilter(this);

    auto *left = new QVBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{tenders, sloganBox, logoBox, others, printer})
        left->addWidget(w);
    auto *middle = new QVBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{display, drawer, amounts, timings})
        middle->addWidget(w);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(middle);
    columns->addWidget(templates, 1);
    // The settings need about 1280 x 740 pixels; on a smaller till screen (1024 x 768) they
    // scroll inside a dialog that never grows past the screen, and the buttons stay in view.
    auto *content = new QWidget;
    content->setLayout(columns);
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(bottom);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size();
        setMaximumSize(room);
        const QSize wanted = content->sizeHint() + QSize(2 * layout->contentsMargins().left() + 4,
                                                         bottom->sizeHint().height() + 3 * layout->spacing() + 24);
        resize(wanted.boundedTo(room));
    }
}

bool TerminalSettingsDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == swapLabel_ && event->type() == QEvent::MouseButtonRelease) {
        swapLineTemplate();
        return true;
    }
    // In the template edits a line break is Ctrl+Enter; Enter alone adds nothing.
    if (event->type() == QEvent::KeyPress && qobject_cast<QPlainTextEdit *>(watched) != nullptr) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers().testFlag(Qt::ControlModifier))
                static_cast<QPlainTextEdit *>(watched)->insertPlainText(QStringLiteral("\n"));
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit *>(watched) != nullptr) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (!text.isEmpty() && key->key() != Qt::Key_Backspace && !text.at(0).isDigit() && text.at(0).isPrint())
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TerminalSettingsDialog::prepareSettings(const QList<ReceiptLine> &saleLines)
{
    // The dialog is kept between uses: each opening starts from what the settings hold.
    form_.load();
    loadFromForm();
    form_.prepare(saleLines);
}

void TerminalSettingsDialog::loadFromForm()
{
    const TerminalSettingsValues &v = form_.values;
    const DeviceSettings &d = v.devices;
    ff1_->setChecked(v.roundOff);
    ff2_->setChecked(v.cashVoucher);
    ff3_->setChecked(v.storedValue);
    ff4_->setChecked(v.bankCard);
    slogan_->setText(v.slogan);
    logo_->setText(v.logoPath);
    showLogo();
    ot1_->setChecked(v.downloadAfterLogin);
    ot2_->setChecked(v.changeLimitedTo100);
    ot3_->setChecked(v.hideSystemLogo);

    chk1_->setChecked(d.printerEnabled);
    chk31_->setChecked(d.rawPrinting);
    chk32_->setChecked(d.driverPrinting);
    chk33_->setChecked(d.printAtSettlement);
    chk34_->setChecked(d.printWhileScanning);
    chk35_->setChecked(d.printNextHeading);
    chk36_->setChecked(d.printToggleAtStart);
    setComboText(cmb1_, d.printerPort);
    setComboText(cmb2_, d.printerBaud);
    setComboText(cmb5_, d.paperCutCommand);
    num1_->setValue(d.receiptDelaySeconds);
    cmb6_->setValue(d.paperWidth);
    fontTitle_->setValue(d.titleFontSize);
    fontD_->setValue(d.lineFontSize);
    chk2_->setChecked(d.displayEnabled);
    setComboText(cmb3_, d.displayPort);
    setComboText(cmb4_, d.displayBaud);
    chk3_->setChecked(d.drawerEnabled);
    cmb7_->setCurrentIndex(d.drawerConnection == 1 ? 1 : 0);
    setComboText(cmb8_, d.drawerCommand);

    param19_->setValue(v.amountDecimals);
    param20_[qBound(1, v.amountRounding, 3) - 1]->setChecked(true);
    num2_->setValue(v.lockMinutes);
    num3_->setValue(v.serverTimeoutSeconds);
    fhcdb_->setValue(v.shiftKeepDays);
    fhcxs_->setValue(v.slipKeepDays);
    if (v.minimiseHotKey >= 0 && v.minimiseHotKey < minKey_->count())
        minKey_->setCurrentIndex(v.minimiseHotKey);

    memo1_->setPlainText(toEdit(v.templates.heading));
    memo3_->setPlainText(toEdit(v.templates.lineTemplate));
    memo2_->setPlainText(toEdit(v.templates.footing));
}

void TerminalSettingsDialog::storeToForm()
{
    TerminalSettingsValues &v = form_.values;
    DeviceSettings &d = v.devices;
    v.roundOff = ff1_->isChecked();
    v.cashVoucher = ff2_->isChecked();
    v.storedValue = ff3_->isChecked();
    v.bankCard = ff4_->isChecked();
    v.slogan = slogan_->text();
    v.logoPath = logo_->text();
    v.downloadAfterLogin = ot1_->isChecked();
    v.changeLimitedTo100 = ot2_->isChecked();
    v.hideSystemLogo = ot3_->isChecked();

    d.printerEnabled = chk1_->isChecked();
    d.rawPrinting = chk31_->isChecked();
    d.driverPrinting = chk32_->isChecked();
    d.printAtSettlement = chk33_->isChecked();
    d.printWhileScanning = chk34_->isChecked();
    d.printNextHeading = chk35_->isChecked();
    d.printToggleAtStart = chk36_->isChecked();
    d.printerPort = cmb1_->currentText();
    d.printerBaud = cmb2_->currentText();
    d.paperCutCommand = cmb5_->currentText();
    d.receiptDelaySeconds = num1_->value();
    d.paperWidth = cmb6_->value();
    d.titleFontSize = fontTitle_->value();
    d.lineFontSize = fontD_->value();
    d.displayEnabled = chk2_->isChecked();
    d.displayPort = cmb3_->currentText();
    d.displayBaud = cmb4_->currentText();
    d.drawerEnabled = chk3_->isChecked();
    d.drawerConnection = cmb7_->currentIndex();
    d.drawerCommand = cmb8_->currentText();

    v.amountDecimals = param19_->value();
    v.amountRounding = 1;
    for (int i = 0; i < 3; ++i) {
        if (param20_[i]->isChecked())
            v.amountRounding = i + 1;
    }
    v.lockMinutes = num2_->value();
    v.serverTimeoutSeconds = num3_->value();
    v.shiftKeepDays = fhcdb_->value();
    v.slipKeepDays = fhcxs_->value();
    const QString key = minKey_->currentText();
    const int listed = TerminalSettingsForm::MinimiseKeys.indexOf(key);
    v.minimiseHotKey = listed >= 0 ? listed : qBound(0, key.toInt(), 11);

    v.templates.heading = fromEdit(memo1_->toPlainText());
    v.templates.lineTemplate = fromEdit(memo3_->toPlainText());
    v.templates.footing = fromEdit(memo2_->toPlainText());
}

void TerminalSettingsDialog::okClicked()
{
    storeToForm();
    if (form_.accept())
        accept();
}

void TerminalSettingsDialog::pickLogo()
{
    const QString path = QFileDialog::getOpenFileName(this, QString(), logo_->text(), QStringLiteral("PNG (*.png)"));
    if (path.isEmpty())
        return;
    logo_->setText(path);
    showLogo();
}

void TerminalSettingsDialog::showLogo()
{
    QPixmap image;
    if (!logo_->text().isEmpty() && image.load(logo_->text()))
        logoImage_->setPixmap(image.scaled(logoImage_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    else
        logoImage_->clear();
}

void TerminalSettingsDialog::takeBuiltInTemplate()
{
    SampleTemplatesDialog picker(this);
    if (picker.exec() != QDialog::Accepted)
        return;
    storeToForm();
    if (form_.takeLibraryTemplate(picker.chosenIndex()))
        loadFromForm();
}

void TerminalSettingsDialog::takeOtherTillsTemplate()
{
    storeToForm();
    ResultSet rows;
    if (!form_.readServerTemplates(rows))
        return;
    OtherTillTemplatesPicker picker(rows, this);
    if (picker.exec() != QDialog::Accepted)
        return;
    form_.takeServerTemplate(rows);
    loadFromForm();
}

void TerminalSettingsDialog::saveTemplatesToServer()
{
    storeToForm();
    form_.saveTemplatesToServer();
}

void TerminalSettingsDialog::swapLineTemplate()
{
    storeToForm();
    if (form_.swapLineTemplate())
        memo3_->setPlainText(toEdit(form_.values.templates.lineTemplate));
}

void TerminalSettingsDialog::runTest()
{
    const int tag = sender() != nullptr ? sender()->property(kTag).toInt() : 0;
    if (tag < 1 || tag > 4)
        return;
    storeToForm();
    form_.runTest(static_cast<TerminalSettingsForm::Test>(tag));
}

} // namespace vorel
