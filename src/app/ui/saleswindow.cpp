#include "app/ui/saleswindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/hotkey.h"
#include "app/passwordchange.h"
#include "app/idlememory.h"
#include "app/screenlock.h"
#include "app/tillcontroller.h"
#include "app/tillshift.h"
#include "app/tillshoplink.h"
#include "app/ui/passwordchangedialog.h"
#include "app/ui/screenlockdialog.h"
#include "appearance/screentheme.h"
#include "appearance/ui/appearancedialog.h"
#include "core/clock.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "core/text.h"
#include "offline/connection.h"
#include "offline/ui/connectionstatus.h"
#include "printing/receiptpage.h"
#include "printing/sessionreceiptprinter.h"
#include "printing/ui/receiptpreview.h"
#include "printing/ui/terminalsettingsdialog.h"
#include "sales/memberdesk.h"
#include "sales/sale.h"
#include "sales/saletablemodel.h"
#include "sales/ui/salesgrid.h"
#include "settlement/slipcommitter.h"
#include "settlement/ui/businessdatedialog.h"

namespace vorel {

namespace {

const QString LogoutRefusedText = QStringLiteral("当前还有未处理的销售业务!请处理后再登出");
const QString SkinNeedsColourText = QStringLiteral("黑白风格不能进行主题切换!请先切换成彩色方式");
const QString QuitQuestion = QStringLiteral("是否退出收银系统?");

void paint(QWidget *w, const QColor &background, const QColor &text)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace

SalesWindow::SalesWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TMainForm"));
}

SalesWindow::~SalesWindow() = default;

void SalesWindow::attach(TillController &till)
{
    till_ = &till;
    Session &session = till.session();
    Sale &sale = till.sale();
    model_ = std::make_unique<SaleTableModel>(sale, session);
    registerWindowKeys();
    ui_.setupUi(this, *model_, sale, till.link().connection(), till.actions().helpLines());
    appearance_ = std::make_unique<SalesGridAppearance>(
        *ui_.grid, *model_,
        [this] { return std::pair(till_->config().themeColor, till_->config().themeFontColor); },
        [this](quint32 color, quint32 fontColor) {
            till_->setThemeColours(color, fontColor);
            applyColours();
        });
    // A click on the shop's logo opens the appearance dialog.
    ui_.customerLogo->installEventFilter(this);
    for (QLineEdit *edit : {ui_.editColour, ui_.editBlack}) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { till_->commandTextEdited(text); });
    }
    const QScreen *screen = QWidget::screen() ? QWidget::screen() : QGuiApplication::primaryScreen();
    ui_.applyScreenHeight(screen ? screen->geometry().height() : 768);
    till.receiptPages().setViewer([](const ReceiptPage &page) { showReceiptPreview(page); });

    connect(&sale, &Sale::labelsChanged, this, &SalesWindow::showTotals);
    connect(&sale, &Sale::headerChanged, this, &SalesWindow::showSlipHeader);
    connect(&till.members(), &MemberDesk::cardChanged, this, &SalesWindow::showCard);
    connect(&till, &TillController::helpTextChanged, this, &SalesWindow::showHelpText);
    connect(&till, &TillController::keyHelpVisibleChanged, ui_.keyHelp, &QWidget::setVisible);
    connect(&till, &TillController::printSwitchChanged, this,
            [this](bool on) { ui_.print->setText(SalesKeys::switchWord(on)); });
    connect(&till, &TillController::practiceModeChanged, this, &SalesWindow::setPracticeBadgeVisible);
    connect(&till, &TillController::colourScreenChanged, this, &SalesWindow::setColourScreen);
    connect(&till, &TillController::summaryShown, this, &SalesWindow::showSummary);
    connect(&till, &TillController::summaryHidden, this, [this] {
        ui_.centre->setCurrentWidget(ui_.grid);
        // The slip is done and the grid drawn again: a quiet moment to give memory back.
        QTimer::singleShot(0, this, &handBackIdleMemory);
    });
    connect(&till, &TillController::commandTextSet, this, &SalesWindow::showCommandText);
    connect(&till, &TillController::slipReset, this, &SalesWindow::showSlipReset);
    connect(&till, &TillController::lockDue, this, &SalesWindow::lockScreen);
    // The shift's name stands on the shift label while a cashier is on duty; a handover logs out.
    till.shift().setShiftNameShown([this](const QString &name) {
        ui_.shift->setText(name.isEmpty() ? QStringLiteral("当班") : name);
    });
    till.shift().setLogout([this] { logout(); });
    connect(&till, &TillController::cashierShown, this, [this](const QString &id) { ui_.cashier->setText(id); });

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

    setColourScreen(true);
    // The date label starts at the time the screen was made.
    sale.setSlipDate(formatDateTime(till.clock().now()));
    showSlipHeader();
    showTotals();
}

void SalesWindow::registerWindowKeys()
{
    ActionRegistry &r = till_->actions();
    r.add({Qt::Key_F2, Qt::NoModifier, std::nullopt, {}, [this] {
               if (!till_->sale().isEmpty())
                   showHelpText(LogoutRefusedText);
               else
                   logout();
           }},
          KeyHelpCell{1, 0, QStringLiteral(" F2  登出   ")});
    r.add({Qt::Key_F10, Qt::NoModifier, CashierRight::TerminalSettings, {}, [this] { openTerminalSettings(); }},
          KeyHelpCell{3, 1, QStringLiteral("F10 设置")});
    r.add({Qt::Key_F11, Qt::NoModifier, CashierRight::ChangePassword, {}, [this] { changePassword(); }},
          KeyHelpCell{4, 1, QStringLiteral("F11 改密")});
    r.add({Qt::Key_F12, Qt::NoModifier, std::nullopt, {}, [this] {
               if (!till_->keys().colourScreen()) {
                   showHelpText(SkinNeedsColourText);
                   return;
               }
               const int next = till_->nextSkin();
               if (next >= 0) {
                   applySkin(next);
                   QCoreApplication::processEvents();
               }
           }},
          KeyHelpCell{5, 1, QStringLiteral("F12 主题")});
    r.add({Qt::Key_Pause, Qt::NoModifier, std::nullopt, {}, [this] { openAppearance(); }},
          KeyHelpCell{26, 0, QStringLiteral(" [Pause ] 字体大小")});
    r.add({Qt::Key_Home, Qt::NoModifier, std::nullopt, {}, [this] { lockScreen(); }},
          KeyHelpCell{21, 0, QStringLiteral(" [HOME  ] 锁  屏")});
    r.add({Qt::Key_D, Qt::ControlModifier, std::nullopt, {}, [this] { chooseBusinessDate(); }},
          KeyHelpCell{20, 0, QStringLiteral(" [CTRL+D] 日期更改")});
    r.add({Qt::Key_Q, Qt::ControlModifier, std::nullopt, {}, [this] {
               if (till_->messages().ask(QuitQuestion))
                   close();
           }},
          KeyHelpCell{27, 0, QStringLiteral(" [CTRL+Q] 退出收银系统")});
}

QLineEdit *SalesWindow::commandEdit() const
{
    return colour_ ? ui_.editColour : ui_.editBlack;
}

QLabel *SalesWindow::helpLabel() const
{
    return colour_ ? ui_.helpColour : ui_.helpBlack;
}

void SalesWindow::applyConfig(const TerminalConfig &config)
{
    till_->applyConfig(config);
    setWindowTitle(config.title);
    ui_.title->setText(config.title);
    if (config.grid) {
        for (int c = 0; c < GridLayout::ColumnCount; ++c) {
            if (GridLayout::hasStoredWidth(c))
                ui_.grid->setColumnWidth(c, config.grid->widths[std::size_t(c)]);
        }
        ui_.grid->setFontSizes(config.grid->fontSize, config.grid->titleFontSize);
        model_->setBarcodeColumnVisible(config.grid->column1Visible);
        model_->setGroupValueColumnVisible(config.grid->column14Visible);
    } else {
        // Never saved: the layout made for this screen's width.
        GridAppearance(*appearance_).applyScreenPreset(screenWidth());
    }
    applySettingsShown();
    // Only a version above 1.00 is shown.
    ui_.version->setText(QStringLiteral("版本：") + config.version);
    ui_.version->setVisible(config.versionNumber > 100);
    if (!config.skins.isEmpty())
        applySkin(config.skinIndex);
    setColourScreen(true);
    // The minimise key belongs to the till from start-up to the end.
    if (hotKey_ && config.minimiseHotKey > 0)
        hotKey_->registerKey(config.minimiseHotKey);
}

// What the settings dialog may change that the screen shows.
void SalesWindow::applySettingsShown()
{
    const TerminalConfig &config = till_->config();
    ui_.welcome->setText(config.welcome);
    ui_.welcomeBlack->setText(config.welcome);
    ui_.balancePanel->setVisible(config.storedValuePanel);
    ui_.systemLogo->setVisible(!config.hideSystemLogo);
    const QPixmap logo(config.logoFile);
    if (!logo.isNull())
        ui_.customerLogo->setPixmap(logo.scaledToHeight(48, Qt::SmoothTransformation));
    ui_.customerLogo->setVisible(!logo.isNull());
}

void SalesWindow::applyColours()
{
    const TerminalConfig &config = till_->config();
    const ScreenTheme theme = ScreenTheme::of(config.themeColor, config.themeFontColor, colour_);
    for (QWidget *w : std::as_const(ui_.themed))
        paint(w, theme.panel, theme.panelText);
    paint(ui_.topBlack, Qt::black, Qt::white);
    paint(ui_.bottomBlack, Qt::black, Qt::white);
    SaleGridTheme grid = model_->theme();
    grid.highlight = theme.highlightText;
    grid.gridHighlight = theme.gridHighlight;
    grid.gridColor = theme.gridBase;
    grid.fontColor = theme.gridText;
    model_->setTheme(grid);
    QTableView *table = ui_.grid->table();
    QPalette base = table->palette();
    base.setColor(QPalette::Base, theme.gridBase);
    table->setPalette(base);
    QPalette header = table->horizontalHeader()->palette();
    header.setColor(QPalette::Button, theme.panel);
    header.setColor(QPalette::ButtonText, theme.panelText);
    table->horizontalHeader()->setPalette(header);
}

void SalesWindow::applySkin(int index)
{
    setStyleSheet(till_->skinStyleSheet(index));
}

// ---- session

void SalesWindow::startSession()
{
    const Session &session = till_->session();
    ui_.terminal->setText(session.terminal.terminalId);
    ui_.warehouse->setText(session.terminal.warehouseName);
    ui_.shift->setText(session.terminal.shiftEnabled ? QStringLiteral("当班") : QString());
    ui_.status->showOffline(till_->link().connection().isOffline());
    ui_.grid->applyVisibility();
    till_->sale().applyAmountDecimals(session.formats.amountDecimals);

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
    till_->startSession();
    focusCommandLine();
}

void SalesWindow::firstActivation()
{
    till_->firstActivation();
    focusCommandLine();
}

void SalesWindow::logout()
{
    const QList<QDialog *> dialogs = findChildren<QDialog *>();
    for (auto it = dialogs.crbegin(); it != dialogs.crend(); ++it) {
        if ((*it)->isVisible())
            (*it)->close();
    }
    till_->endSession();
    if (runLogin_ && runLogin_()) {
        startSession();
        till_->checkShiftState();
        return;
    }
    close();
}

void SalesWindow::openTerminalSettings()
{
    QList<ReceiptLine> lines;
    for (const SaleLine &l : till_->sale().lines())
        lines << receiptLine(l);
    // Made at the first use and kept for the session, like the settlement dialog.
    if (!settingsDialog_)
        settingsDialog_ = new TerminalSettingsDialog(till_->settingsForm(), this);
    settingsDialog_->prepareSettings(lines);
    if (settingsDialog_->exec() == QDialog::Accepted) {
        till_->applyTerminalSettings();
        applySettingsShown();
    }
    focusCommandLine();
}

void SalesWindow::changePassword()
{
    PasswordChange change(till_->link().connection(), till_->messages());
    if (!change.available()) {
        showHelpText(PasswordChange::OfflineText);
        return;
    }
    PasswordChangeDialog::run(change, till_->session().identity.userId, this);
    focusCommandLine();
}

int SalesWindow::screenWidth() const
{
    const QScreen *screen = QWidget::screen() ? QWidget::screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1024;
}

void SalesWindow::openAppearance()
{
    AppearanceDialog::run(*appearance_, screenWidth(), this);
    focusCommandLine();
}

void SalesWindow::lockScreen()
{
    ScreenLockDialog::lockScreen(till_->screenLock(), this, till_->session().identity.userId);
    focusCommandLine();
}

void SalesWindow::chooseBusinessDate()
{
    BusinessDateDialog dialog(this);
    SlipCommitter &committer = till_->committer();
    if (dialog.ask(committer.businessDate()))
        till_->sale().setSlipDate(committer.businessDate().text());
    focusCommandLine();
}

// ---- tray and hot key

void SalesWindow::setHotKey(HotKey *hotKey)
{
    hotKey_ = hotKey;
    if (hotKey_)
        connect(hotKey_, &HotKey::pressed, this, &SalesWindow::hotKeyPressed);
}

MainWindowState SalesWindow::windowStateNow() const
{
    return mainWindowState(isVisible(), windowState());
}

void SalesWindow::hotKeyPressed(int minKey)
{
    HotKeyPress press;
    press.window = windowStateNow();
    press.sessionOpen = till_->session().connection.loginFlag;
    press.minKey = till_->config().minimiseHotKey;
    press.registeredKey = hotKey_ && minKey == hotKey_->registeredKey();
    press.dialogOpen = QApplication::activeModalWidget() != nullptr;
    applyToggle(onHotKey(press));
}

void SalesWindow::applyToggle(WindowToggle toggle)
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
        if (tray_ && trayIconEnabled(till_->config().minimiseHotKey)) {
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

// ---- drawing what the till announces

void SalesWindow::showSlipHeader()
{
    const Sale &sale = till_->sale();
    ui_.slipNumber->setText(sale.slipNumber());
    ui_.date->setText(sale.slipDate());
    ui_.salesperson->setText(sale.salesperson());
}

void SalesWindow::showSlipReset()
{
    ui_.cashier->setText(till_->session().identity.userId);
    showCommandText(QString());
    showTotals();
}

void SalesWindow::showHelpText(const QString &text)
{
    ui_.helpColour->setText(text);
    ui_.helpBlack->setText(text);
}

void SalesWindow::showCommandText(const QString &text)
{
    const QSignalBlocker a(ui_.editColour);
    const QSignalBlocker b(ui_.editBlack);
    ui_.editColour->setText(text);
    ui_.editBlack->setText(text);
}

void SalesWindow::showSummary(const SettlementSummary &summary)
{
    QLayout *rows = ui_.summary->layout();
    while (QLayoutItem *item = rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const int height = summary.rowHeight(ui_.centre->height());
    for (const SettlementSummary::Row &r : summary.rows) {
        auto *l = new QLabel(r.caption + QStringLiteral("  ") + r.amount, ui_.summary);
        l->setAlignment(Qt::AlignCenter);
        QFont f(QStringLiteral("monospace"));
        f.setStyleHint(QFont::Monospace);
        f.setPixelSize(std::clamp(height * 6 / 10, 14, 64));
        f.setBold(true);
        l->setFont(f);
        rows->addWidget(l);
    }
    ui_.centre->setCurrentWidget(ui_.summary);
}

void SalesWindow::showCard(const MemberCard &card)
{
    ui_.card->setText(card.vipId);
    ui_.memberName->setText(card.name);
    ui_.memberRate->setText(card.selected() ? card.rate.toPlainString() : QString());
    ui_.memberPoints->setText(card.selected() ? QString::number(card.points) : QString());
    ui_.memberGrade->setText(card.selected() ? QString::number(card.grade) : QString());
    ui_.memberBalance->setText(card.selected() ? card.balance.toPlainString() : QStringLiteral("0"));
}

void SalesWindow::showTotals()
{
    const TotalLabels &t = till_->sale().labels();
    ui_.total->setText(t.total.isEmpty() ? QStringLiteral("0") : t.total);
    ui_.quantity->setText(t.quantity.isEmpty() ? QStringLiteral("0") : t.quantity);
    ui_.saving->setText(t.saving.isEmpty() ? QStringLiteral("0") : t.saving);
}

void SalesWindow::setPracticeBadgeVisible(bool visible)
{
    placePracticeBadge();
    ui_.practiceBadge->setVisible(visible);
    ui_.practiceBadge->raise();
}

void SalesWindow::placePracticeBadge()
{
    QLabel *badge = ui_.practiceBadge;
    badge->adjustSize();
    const int x = (ui_.grid->width() - badge->width()) / 2;
    const int y = ui_.grid->height() - 20 - badge->height();
    badge->move(std::max(0, x), std::max(0, y));
}

void SalesWindow::setColourScreen(bool colour)
{
    const bool fullLayout = till_->config().fullLayout;
    // What was typed moves over to the other command line.
    const QString text = commandEdit()->text();
    colour_ = colour;
    {
        const QSignalBlocker blocker(commandEdit());
        commandEdit()->setText(text);
    }
    ui_.topColour->setVisible(colour && fullLayout);
    ui_.bottomColour->setVisible(colour);
    ui_.topBlack->setVisible(!colour && fullLayout);
    ui_.bottomBlack->setVisible(!colour);
    applyColours();
    focusCommandLine();
}

void SalesWindow::focusCommandLine()
{
    if (QLineEdit *edit = commandEdit()) {
        if (isVisible()) {
            activateWindow();
            edit->setFocus(Qt::OtherFocusReason);
        }
    }
}

// ---- events

bool SalesWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui_.customerLogo && event->type() == QEvent::MouseButtonRelease) {
        openAppearance();
        return true;
    }
    if (event->type() == QEvent::KeyPress && (watched == ui_.editColour || watched == ui_.editBlack)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (till_->keyDown(key->key(), key->modifiers())) {
            // A dialog a key opened may have had the focus.
            focusCommandLine();
            return true;
        }
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint() && !till_->acceptsCharacter(text.at(0)))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SalesWindow::keyPressEvent(QKeyEvent *event)
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

void SalesWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    placePracticeBadge();
}

void SalesWindow::saveScreenSettings()
{
    TerminalSettings &settings = till_->settings();
    const TerminalConfig &config = till_->config();
    GridLayout layout;
    for (int c = 0; c < GridLayout::ColumnCount; ++c)
        layout.widths[std::size_t(c)] = ui_.grid->columnWidth(c);
    layout.fontSize = ui_.grid->table()->font().pointSize();
    layout.titleFontSize = ui_.grid->table()->horizontalHeader()->font().pointSize();
    layout.column1Visible = model_->isColumnVisible(SaleTableModel::BarcodeColumn);
    layout.column14Visible = model_->isColumnVisible(SaleTableModel::GroupValueColumn);
    // One guarded run: the first write that fails ends the saving, silently.
    [[maybe_unused]] const bool saved =
        settings.setWarehouseName(till_->session().terminal.warehouseName) && settings.setFullLayout(config.fullLayout)
        && settings.setKeyHelpVisible(till_->keys().keyHelpVisible()) && settings.setThemeColor(config.themeColor)
        && settings.setThemeFontColor(config.themeFontColor) && settings.writeGridLayout(layout);
}

void SalesWindow::closeEvent(QCloseEvent *event)
{
    if (closing_) {
        event->accept();
        return;
    }
    closing_ = true;
    if (isVisible())
        saveScreenSettings();
    till_->close();
    if (hotKey_)
        hotKey_->unregisterKey();
    event->accept();
}

} // namespace vorel
