#include "app/tillcontroller.h"

#include <QFile>
#include <QNetworkInterface>

#include "app/loginrecord.h"
#include "app/screenlock.h"
#include "app/tillshift.h"
#include "app/slipdesk.h"
#include "app/tillshoplink.h"
#include "core/clock.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "core/text.h"
#include "members/membereditor.h"
#include "offline/connection.h"
#include "offline/networkwatch.h"
#include "offline/syncdesk.h"
#include "printing/devices.h"
#include "printing/portmap.h"
#include "printing/receiptpage.h"
#include "printing/seriallibrary.h"
#include "printing/sessionreceiptprinter.h"
#include "printing/terminalsettingsform.h"
#include "sales/commandline.h"
#include "sales/heldsales.h"
#include "sales/itempicker.h"
#include "sales/memberdesk.h"
#include "sales/pricing.h"
#include "sales/sale.h"
#include "settlement/slipcommitter.h"

namespace vorel {

namespace {

// The first network adapter's address, kept out of sight in the "Connect" message.
QString adapterToken()
{
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        if (!(i.flags() & QNetworkInterface::IsLoopBack) && !i.hardwareAddress().isEmpty())
            return getMD5(i.hardwareAddress() + QStringLiteral("VOREL"));
    }
    return getMD5(QStringLiteral("VOREL"));
}

// Tells the message service who is at this till; true when the message went through.
bool sendConnectMessage(Session &session, ShopService &service, LocalStore &store)
{
    Session::Connection &c = session.connection;
    c.gPos = QStringLiteral("*");
    c.guid = getGuid();
    return service.tcpSend(QStringLiteral("Connect"),
                           {session.identity.userId + QLatin1Char(' ') + session.identity.userName,
                            c.dbName + QLatin1Char(' ') + session.identity.version, QStringLiteral("0"),
                            adapterToken(), c.gPos, c.guid, QString(), QString(), QString(), unsentSlipsField(store)});
}

} // namespace

TillController::TillController(const TillParts &parts, TillDialogFactory &dialogs, QObject *parent)
    : QObject(parent), session_(parts.session), settings_(parts.settings), folder_(parts.folder), link_(parts.link),
      clock_(parts.clock), messages_(parts.messages)
{
    Connection &connection = link_.connection();
    sale_ = std::make_unique<Sale>(session_.formats);
    pricing_ = std::make_unique<Pricing>(*sale_, session_.formats);
    // Section [PORTS] of the settings file says where COM1, LPT1 and the rest lead.
    const PortMap ports = PortMap::fromSettingsFile(settings_.path());
    serial_ = std::make_unique<SerialPortLibrary>(ports);
    devices_ = std::make_unique<Devices>(session_, *serial_, ports, messages_);
    printer_ = std::make_unique<SessionReceiptPrinter>(session_, *devices_, messages_, clock_);
    pages_ = std::make_unique<PrinterReceiptPages>();
    printer_->setPages(pages_.get());
    picker_ = dialogs.itemPicker();
    memberEditor_ = std::make_unique<MemberEditor>(link_.service(), session_, clock_);
    memberDialogs_ = dialogs.memberDialogs(*memberEditor_);
    members_ = std::make_unique<MemberDesk>(connection, *sale_, *pricing_, *memberDialogs_, *this);
    commandLine_ = std::make_unique<CommandLine>(
        CommandLineParts{session_, *sale_, *pricing_, connection, *members_, *this, *picker_});
    prompt_ = dialogs.settlementPrompt();
    committer_ = std::make_unique<SlipCommitter>(SlipCommitParts{connection, settings_, *sale_, *members_, *this,
                                                                 *prompt_, *devices_, *printer_, messages_, clock_});
    settingsForm_ = std::make_unique<TerminalSettingsForm>(session_, *devices_, *printer_, connection, messages_, folder_);
    lock_ = std::make_unique<ScreenLock>(connection, clock_);
    loginRecord_ = std::make_unique<LoginRecord>(connection, clock_);
    keys_ = std::make_unique<SalesKeys>(SalesKeysParts{session_, *sale_, *pricing_, *commandLine_, *committer_,
                                                       *devices_, parts.calculator, actions_, *this,
                                                       [this] { lock_->resetIdle(); },
                                                       [this] { executeCommandLine(); }});
    shift_ = std::make_unique<TillShift>(
        TillShiftParts{session_, connection, clock_, messages_, *sale_, *keys_, *printer_, actions_, *this});
    offlineScreens_ = dialogs.offlineScreens();
    syncDesk_ = std::make_unique<SyncDesk>(connection, settings_, *offlineScreens_);
    registerOfflineKeys();
    heldPicker_ = dialogs.heldSalePicker();
    slipDesk_ = std::make_unique<SlipDesk>(SlipDeskParts{session_, connection, folder_, *sale_, *members_, *committer_,
                                                         *printer_, *syncDesk_, *heldPicker_, actions_, *this,
                                                         [this](const QString &id) { emit cashierShown(id); }});
    keys_->setQueryKeys([this](int key) { return slipDesk_->queryKey(key); });
    sale_->setCustomerDisplay(this);

    connect(commandLine_.get(), &CommandLine::helpTextChanged, this, &TillController::helpTextChanged);
    connect(commandLine_.get(), &CommandLine::idleCounterReset, lock_.get(), &ScreenLock::resetIdle);
    connect(lock_.get(), &ScreenLock::lockDue, this, &TillController::lockDue);
}

TillController::~TillController()
{
    sale_->setCustomerDisplay(nullptr);
}

void TillController::registerOfflineKeys()
{
    // The refusals come in a fixed order that puts the right last, so the keys check it
    // themselves.
    actions_.add({Qt::Key_F5, Qt::NoModifier, std::nullopt, {}, [this] {
                      const QString text =
                          syncDesk_->synchroniseOnRequest(session_.terminal.rights.has(CashierRight::Synchronise));
                      if (syncDesk_->switchedOffline() && watch_) {
                          watch_->stop();
                          watch_.reset();
                      }
                      if (!text.isEmpty())
                          showHelpText(text);
                  }},
                  KeyHelpCell{4, 0, QStringLiteral(" F5  同步   ")});
}

void TillController::applyConfig(const TerminalConfig &config)
{
    config_ = config;
    keys_->setKeyHelpVisible(config.keyHelpVisible);
    keys_->setPrintSwitch(config.printSwitch);
}

bool TillController::keyDown(int key, Qt::KeyboardModifiers modifiers)
{
    return keys_->keyDown(key, modifiers);
}

void TillController::commandTextEdited(const QString &text)
{
    commandText_ = text;
    commandLine_->TMCOLORChange(text);
}

bool TillController::acceptsCharacter(QChar ch) const
{
    return commandLine_->TMCOLORKeyPress(ch);
}

void TillController::executeCommandLine()
{
    const std::optional<QString> next = commandLine_->ExecuteCommand(commandText_);
    if (next) {
        commandText_ = *next;
        emit commandTextSet(*next);
    }
}

void TillController::clearCommandLine()
{
    commandText_.clear();
    emit commandTextSet(QString());
}

// ---- the session

void TillController::startSession()
{
    Connection &connection = link_.connection();
    if (session_.connection.net == 0 && !connection.isOffline()) {
        const bool linked = sendConnectMessage(session_, link_.service(), connection.store());
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
}

void TillController::checkShiftState()
{
    shift_->desk().checkShiftState();
}

void TillController::firstActivation()
{
    if (activated_)
        return;
    activated_ = true;
    checkShiftState();
    if (const std::optional<QString> text = syncDesk_->synchroniseAtStart(config_.downloadAfterLogin))
        showHelpText(*text);
}

void TillController::endSession()
{
    session_.terminal.onDuty = false;
    lock_->stopIdleTimer();
    if (watch_) {
        watch_->stop();
        watch_.reset();
    }
    session_.connection.loginFlag = false;
    loginRecord_->close();
    endServerSession();
}

void TillController::endServerSession()
{
    // Offline the server is not there to be told; the session's token then runs out by itself.
    if (!link_.connection().isOffline())
        link_.service().logout();
}

void TillController::close()
{
    if (closed_)
        return;
    closed_ = true;
    lock_->stopIdleTimer();
    if (watch_)
        watch_->stop();
    loginRecord_->close();
    endServerSession();
    // Nothing more goes to the server.
    session_.connection.offline = true;
    devices_->closePorts();
}

void TillController::dropMessageLink()
{
    if (watch_)
        watch_->setLinkUp(false);
}

void TillController::applyTerminalSettings()
{
    const TerminalSettings &s = settings_;
    config_.welcome = s.slogan();
    config_.storedValuePanel = s.tenderStoredValue();
    config_.hideSystemLogo = s.hideSystemLogo();
    config_.logoFile = logoFile(s, folder_);
    link_.setServerTimeout(s.serverTimeoutSeconds());
    link_.setTransport(s.serverTls(), s.serverCertificate());
    // The ports may lead elsewhere now: they open again from the file's [PORTS].
    const PortMap ports = PortMap::fromSettingsFile(s.path());
    devices_->closePorts();
    serial_->setPorts(ports);
    devices_->setPorts(ports);
    devices_->openPorts();
    config_.lockSeconds = s.lockMinutes() * 60;
    lock_->setLockMinutes(s.lockMinutes());
    if (config_.lockSeconds > 0)
        lock_->startIdleTimer();
    else
        lock_->stopIdleTimer();
    sale_->applyAmountDecimals(session_.formats.amountDecimals);
}

void TillController::advanceTime(int seconds)
{
    if (advanceClock_)
        advanceClock_(seconds);
    if (lock_->isIdleTimerActive())
        lock_->tick();
}

int TillController::nextSkin()
{
    if (config_.skins.isEmpty())
        return -1;
    config_.skinIndex = (config_.skinIndex + 1) % int(config_.skins.size());
    UserPreferences(folder_.path(session_.identity.iniFileName)).setSkinListIndex(config_.skinIndex);
    return config_.skinIndex;
}

QString TillController::skinStyleSheet(int index)
{
    if (index >= 0 && index < config_.skins.size()) {
        QFile file(folder_.path(QStringLiteral("skin/") + config_.skins.at(index)));
        if (file.open(QIODevice::ReadOnly))
            return QString::fromUtf8(file.readAll());
    }
    config_.skinIndex = -1;
    UserPreferences(folder_.path(session_.identity.iniFileName)).setSkinListIndex(-1);
    return QString();
}

// ---- SlipScreen

bool TillController::practiceMode() const
{
    return keys_->practiceMode();
}

bool TillController::printToggle() const
{
    return keys_->printSwitch();
}

bool TillController::darkPanel() const
{
    return !keys_->colourScreen();
}

void TillController::setInputLocked(bool locked)
{
    commandLine_->setInputLocked(locked);
}

void TillController::resetForNewSlip()
{
    commandText_.clear();
    emit slipReset();
    emit helpTextChanged(QString());
}

// ---- SettlementLauncher, CustomerDisplay

void TillController::settleSale()
{
    committer_->settleSale();
}

void TillController::settleTopUp()
{
    committer_->settleTopUp();
}

void TillController::show(Indicator indicator, const QString &value)
{
    devices_->showOnDisplay(QChar(static_cast<char>(indicator)), value);
}

} // namespace vorel
