#pragma once
// Slip numbers and the business date of the slips.
//
// A slip number is the terminal number followed by an eight-digit counter that starts at
// 10000000 ("001" + "10000000"). The till makes it itself, so it can go on selling offline.
// The counter of the slip on the screen (issued, perhaps not yet committed) is kept under
// POSNOID in the terminal settings file; when that copy lags behind the database (a
// restored settings file, a failed write), the first commit meets a duplicate number and
// the repair moves the counter past the highest number of this terminal.
//
// The business date is the text a slip is booked under (D712.BDATE). Automatic, it is the
// PC's time at each commit; a date chosen in the business-date dialog stays in force for
// every following slip until the cashier switches back.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace vorel {

class Clock;
class Connection;
class Messages;
class Session;
class TerminalSettings;

class SlipNumbers {
public:
    static constexpr qint64 FirstCounter = 10000000;
    // Shown when POSNOID cannot be written; the counter goes on in memory.
    static const QString SaveFailedText;

    // The terminal number is read from the session each time.
    SlipNumbers(const Session &session, TerminalSettings &settings, Messages &messages);

    // The counter part of starting a slip: loaded from POSNOID when not loaded yet, one up
    // when advancing, and written back to POSNOID in any case.
    void start(bool advance);

    // SlipSequence: 0 until start() loaded it.
    qint64 counter() const { return counter_; }
    // The slip number label: terminal number and counter.
    QString number() const;
    static QString format(const QString &terminalId, qint64 counter);

    // The highest slip number of a terminal, as the repair reads it.
    static QString maxNumberSql(const QString &terminalId);

    // The database refused the number as a duplicate: the counter becomes the highest
    // stored counter of this terminal plus one (10000001 when none is stored). The read
    // goes to the local store while the terminal is offline. POSNOID follows at the next
    // start().
    void repair(Connection &connection);
    // The local store refused a slip: when it already holds this number or a higher one of
    // this terminal, the counter moves past the highest. Never moves back. True when moved.
    bool moveForward(Connection &connection);

private:
    // The counter of the highest stored number of this terminal; nothing when none is.
    std::optional<qint64> storedMaximum(Connection &connection) const;

    const Session &session_;
    TerminalSettings &settings_;
    Messages &messages_;
    qint64 counter_ = 0;
};

// What the business-date dialog shows when it opens.
struct DateChoice {
    bool automatic = true; // rb2 checked, else rb1
    QDateTime picker;      // the date picker
};

class BusinessDate {
public:
    // Automatic, and the text shows the clock's time.
    explicit BusinessDate(const Clock &clock);

    // AutoSlipDate.
    bool automatic() const { return automatic_; }
    // The date label: "YYYY-MM-DD hh:nn:ss", or "YYYY-MM-DD" after a choice in the dialog.
    const QString &text() const { return text_; }

    // The booking date of a slip being built: automatic, the text first becomes now.
    QString forSlip();

    // The dialog opens with the current mode and the picker on the label's date (now when
    // the label holds no date).
    DateChoice dialogChoice() const;
    // The dialog's OK: the mode it shows, and the picker's date (date only, either way).
    void choose(bool automatic, const QDate &date);

private:
    const Clock &clock_;
    bool automatic_ = true;
    QString text_;
};

} // namespace vorel
