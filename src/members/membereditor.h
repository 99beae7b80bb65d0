#pragma once
// Registering a new member card from the till: the fields of the card as typed, their
// checks, automatic card numbers, and the insert into D702 on the shop server. The editor
// only adds cards; the sales screen opens it while online and takes the text it leaves
// ("*" and the new card number) to select the card for the sale.

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace vorel {

class Clock;
class Session;
class ShopService;

// The card as typed. Texts are kept as typed; the checks normalise them.
struct MemberForm {
    QString cardNo;   // VIPID, upper case
    QString name;     // VIPNAME
    QString age;      // VIPNUM
    QString phone;    // VIPTEL
    QString job;      // VIPFAX
    QString email;    // VIPEMAIL
    QString address;  // VIPADD
    QDate opened;     // BDATE
    QDate expires;    // EDATE
    QString discount; // VIPZK, 0.01 to 1
    QString birthday; // BIRDATE, "month.day"
    int grade = 0;    // VIPGRARD: index into MemberEditor::Grades
    int status = 0;   // T: index into MemberEditor::Statuses
    QString points;   // VIPF and VIPF_B
    QString balance;  // VIPM and VIPM_B
    QString note;     // VIPNOTE
};

class MemberEditor {
public:
    enum class Field {
        None, CardNo, Name, Age, Phone, Job, Email, Address, Opened, Expires, Discount, Birthday,
        Points, Balance, Note,
    };
    // A check that failed: the message for a notice box and the field that takes the focus.
    struct Problem {
        Field field = Field::None;
        QString message;
    };

    static const QStringList Grades;   // "一级" .. "五级"
    static const QStringList Statuses; // "启用", "停用", "挂失"
    static const QString AutoNumberText;
    static const QString DuplicateText;
    static const QString BirthdayText;
    // Days a new card is valid.
    static constexpr int ValidDays = 730;

    MemberEditor(ShopService &shop, const Session &session, const Clock &clock);

    // Characters a text field takes, 0 for the fields that are not free text.
    static int maxLength(Field field);
    // The caption messages name a field by.
    static QString caption(Field field);

    // Card numbers are drawn by the server, of this many digits (0: typed by hand).
    int autoNumberLength() const;
    bool autoNumbering() const { return autoNumberLength() > 0; }

    // A blank new card: today to two years on, discount 1, nothing opened with; with
    // automatic numbering the card field says so.
    void openForAdd();

    MemberForm &form() { return form_; }
    const MemberForm &form() const { return form_; }

    // The check of a field as the cashier leaves it; nullopt for the fields that have none.
    std::optional<Problem> leave(Field field);
    // Leaving the card field: with automatic numbering a new number is drawn into it; the
    // number must be given, without blanks or quotes, and not be taken by another card.
    std::optional<Problem> leaveCardNo();
    // Leaving the birthday: normalised in place, then it must be a day of the year 2001
    // (or empty).
    std::optional<Problem> leaveBirthday();
    // " 02.05" -> "2.5": the first blank goes, the first ".0" becomes ".", one leading "0" goes.
    static QString normaliseBirthday(const QString &text);

    // Every check, then the insert. On success resultText() is "*" and the card number.
    std::optional<Problem> save();
    // Empty until a save went through.
    const QString &resultText() const { return result_; }

    // The insert for the form as it stands (checks done).
    QString insertSql() const;

private:
    std::optional<Problem> checkFields();

    ShopService &shop_;
    const Session &session_;
    const Clock &clock_;
    MemberForm form_;
    QString result_;
};

} // namespace vorel
