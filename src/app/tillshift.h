#pragma once
// The shift and the sales query at the sales screen: F4 goes on duty or hands over, F8 opens
// the sales query; the shift check runs after every login. This class is the sales screen as
// the shift sees it (slip number, cashier, open sale, print switch, status line, printer) and
// hands the logout and the shift's name to the window through the controller.

#include <QString>
#include <functional>
#include <memory>

#include "shift/shiftdesk.h"

namespace vorel {

class ActionRegistry;
class Clock;
class Connection;
class Messages;
class Sale;
class SalesKeys;
class SalesScreenView;
class Session;
class SessionReceiptPrinter;

namespace shift {
class SalesQuery;
}

struct TillShiftParts {
    Session &session;
    Connection &connection;
    const Clock &clock;
    Messages &messages;
    Sale &sale;
    SalesKeys &keys;
    SessionReceiptPrinter &printer;
    ActionRegistry &registry;
    SalesScreenView &view;
};

class TillShift final : public shift::ShiftScreen {
public:
    static const QString QueryRefusedText; // F8 while the sale has lines

    explicit TillShift(const TillShiftParts &parts);
    ~TillShift() override;

    shift::ShiftDesk &desk() { return *desk_; }
    shift::SalesQuery &salesQuery() { return *query_; }

    // What the window does for the shift: show the sales query, show the shift's name, log out.
    void setQueryOpener(std::function<void()> open) { openQuery_ = std::move(open); }
    void setShiftNameShown(std::function<void(const QString &)> show) { showShiftName_ = std::move(show); }
    void setLogout(std::function<void()> logout) { logout_ = std::move(logout); }

    // ---- ShiftScreen
    QString slipNumberShown() const override;
    QString cashierShown() const override;
    bool saleOpen() const override;
    bool printSwitch() const override;
    void showStatus(const QString &text) override;
    void showShiftName(const QString &name) override;
    bool printVoucher(const QString &text) override;
    void logout() override;

private:
    Session &session_;
    Sale &sale_;
    SalesKeys &keys_;
    SessionReceiptPrinter &printer_;
    SalesScreenView &view_;
    std::unique_ptr<shift::ShiftDesk> desk_;
    std::unique_ptr<shift::SalesQuery> query_;
    std::function<void()> openQuery_;
    std::function<void(const QString &)> showShiftName_;
    std::function<void()> logout_;
};

} // namespace vorel
