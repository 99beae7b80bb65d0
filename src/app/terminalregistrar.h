#pragma once
// Registering this PC as a till of the shop. A till is a row of D701: a three-digit number,
// a name, a warehouse, the shift option and the key that binds the row to one PC. The PC
// either registers a number nobody uses, or takes over an existing number by typing that
// terminal's key. Either way the key and the next slip counter go into the settings file,
// and the user may empty the local store before the till is used for real.
//
// The dialog TREG_ZD draws the fields; this class holds what it shows and what OK does.

#include <QString>
#include <functional>

#include "core/resultset.h"

namespace vorel {

class Connection;
class Messages;
class ShopService;
class TerminalSettings;

class TerminalRegistrar {
public:
    // A number from 0 to 9999: the front of a new terminal key.
    using KeyDraw = std::function<int()>;

    // Texts of the checks and of the closing question.
    static const QString BadNumberText;
    static const QString NoWarehousesText;
    static const QString NoWarehouseChosenText;
    static const QString KeyRequiredText;
    static const QString WrongKeyText;
    static const QString ClearQuestionText;

    static const QString TerminalListSql;
    static const QString ProposalSql;
    static const QString ClearLocalSql;
    static QString terminalSql(const QString &number);
    static QString insertSql(const QString &warehouseId, const QString &number, const QString &name,
                             const QString &key, bool shiftEnabled);
    static QString lastSlipSql(const QString &number);
    // The first slip counter of a terminal whose highest slip is `lastSlip` (null: none yet).
    static int nextSlipCounter(const Field &lastSlip);

    // What the user typed and chose.
    struct Entry {
        QString number;      // ZD_ID
        QString name;        // ZD_NAME
        QString warehouseId; // CK_ID of the chosen warehouse, empty when none
        QString key;         // Edit1: the key of an existing terminal, empty for a new one
        bool shiftEnabled = false;
    };

    enum class Status {
        Registered, // the settings file holds the new key: close the dialog with OK
        Refused,    // a check failed and said why; the dialog stays open
        Failed,     // the shop server failed and said why; nothing was written here
    };
    enum class Focus { None, Key };

    struct Outcome {
        Status status = Status::Refused;
        Focus focus = Focus::None;
        bool tookOver = false;     // an existing number was taken over with its key
        QString name;              // the terminal's name and shift option as registered:
        bool shiftEnabled = false; // a taken-over terminal keeps its own
        QString key;
        int slipCounter = 0;
    };

    // `draw` defaults to the system's random generator.
    TerminalRegistrar(ShopService &shop, Connection &connection, TerminalSettings &settings, Messages &messages,
                      KeyDraw draw = {});

    // Reads the registered terminals and the number to propose, and keeps the warehouses
    // (CK_ID, CK_NAME) the user may choose from. False when the server failed (said).
    bool prepare(const ResultSet &warehouses);
    const ResultSet &terminals() const { return terminals_; }
    const ResultSet &warehouses() const { return warehouses_; }
    const QString &proposedNumber() const { return proposal_; }
    // The warehouse chosen at first: the first of the list.
    QString firstWarehouse() const;

    Outcome confirm(const Entry &entry);

private:
    Outcome refuse(const QString &text, Focus focus = Focus::None);
    Outcome fail(const QString &text);

    ShopService &shop_;
    Connection &connection_;
    TerminalSettings &settings_;
    Messages &messages_;
    KeyDraw draw_;
    ResultSet terminals_;
    ResultSet warehouses_;
    QString proposal_;
};

} // namespace vorel
