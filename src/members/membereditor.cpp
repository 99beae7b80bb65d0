#include "members/membereditor.h"

#include <QStringList>
#include <algorithm>

#include "core/clock.h"
#include "core/money.h"
#include "core/resultset.h"
#include "core/session.h"
#include "core/shopservice.h"
#include "core/text.h"

namespace vorel {

const QStringList MemberEditor::Grades{QStringLiteral("一级"), QStringLiteral("二级"), QStringLiteral("三级"),
                                       QStringLiteral("四级"), QStringLiteral("五级")};
const QStringList MemberEditor::Statuses{QStringLiteral("启用"), QStringLiteral("停用"), QStringLiteral("挂失")};
const QString MemberEditor::AutoNumberText = QStringLiteral("自动编号");
const QString MemberEditor::DuplicateText = QStringLiteral("会员卡号已存在!");
const QString MemberEditor::BirthdayText = QStringLiteral(
    "日期格式不正确，请按【月.日】格式输入(二月二日 输入 2.2)，可以为空白(不填写)");

namespace {

using Field = MemberEditor::Field;
using Problem = MemberEditor::Problem;

Problem problem(Field field, const QString &message)
{
    return {field, message};
}

Problem lengthProblem(Field field)
{
    return problem(field, MemberEditor::caption(field) + QStringLiteral("不能超过") +
                              QString::number(MemberEditor::maxLength(field)) + QStringLiteral("个字符!"));
}

// A number the statement can carry as it is; nullopt when the text is none or below zero.
std::optional<Money> amount(const QString &text)
{
    const std::optional<Money> value = Money::parse(text);
    if (!value || value->isNegative())
        return std::nullopt;
    return value;
}

} // namespace

MemberEditor::MemberEditor(ShopService &shop, const Session &session, const Clock &clock)
    : shop_(shop), session_(session), clock_(clock)
{
}

int MemberEditor::maxLength(Field field)
{
    switch (field) {
    case Field::CardNo:
    case Field::Phone:
    case Field::Job:
    case Field::Email:
    case Field::Address:
    case Field::Note:
        return 30;
    case Field::Name:
        return 20;
    case Field::Age:
        return 18;
    case Field::Birthday:
        return 5;
    default:
        return 0;
    }
}

QString MemberEditor::caption(Field field)
{
    switch (field) {
    case Field::CardNo: return QStringLiteral("会员卡号");
    case Field::Name: return QStringLiteral("称呼");
    case Field::Age: return QStringLiteral("年龄");
    case Field::Phone: return QStringLiteral("电话");
    case Field::Job: return QStringLiteral("职业");
    case Field::Email: return QStringLiteral("电邮");
    case Field::Address: return QStringLiteral("地址");
    case Field::Opened: return QStringLiteral("开卡日期");
    case Field::Expires: return QStringLiteral("有效日期");
    case Field::Discount: return QStringLiteral("折扣");
    case Field::Birthday: return QStringLiteral("生日");
    case Field::Points: return QStringLiteral("初始积分");
    case Field::Balance: return QStringLiteral("初始余额");
    case Field::Note: return QStringLiteral("备注");
    case Field::None: break;
    }
    return {};
}

int MemberEditor::autoNumberLength() const
{
    return session_.company.gparam29;
}

void MemberEditor::openForAdd()
{
    form_ = MemberForm();
    form_.points = QStringLiteral("0");
    form_.balance = QStringLiteral("0");
    form_.discount = QStringLiteral("1");
    form_.opened = clock_.now().date();
    form_.expires = form_.opened.addDays(ValidDays);
    if (autoNumbering())
        form_.cardNo = AutoNumberText;
    result_.clear();
}

std::optional<Problem> MemberEditor::leaveCardNo()
{
    if (autoNumbering())
        form_.cardNo = shop_.getNoId(opcode::Member, QString(), autoNumberLength());
    form_.cardNo = form_.cardNo.toUpper();
    const QString &card = form_.cardNo;
    if (card.trimmed().isEmpty())
        return problem(Field::CardNo, QStringLiteral("会员卡号不能为空!"));
    for (const QChar c : card) {
        if (c.isSpace())
            return problem(Field::CardNo, QStringLiteral("会员卡号不能包含空格!"));
    }
    if (hasSingleQuote(card))
        return problem(Field::CardNo, QStringLiteral("会员卡号不能带有单引号!"));
    if (card.size() > maxLength(Field::CardNo))
        return lengthProblem(Field::CardNo);

    ResultSet existing;
    shop_.openSql(existing, QStringLiteral("select * from D702 where VIPID=") + sqlQuote(card));
    if (!existing.isEmpty())
        return problem(Field::CardNo, DuplicateText);
    return std::nullopt;
}

QString MemberEditor::normaliseBirthday(const QString &text)
{
    QString t = text;
    if (const qsizetype space = t.indexOf(QLatin1Char(' ')); space >= 0)
        t.remove(space, 1);
    if (const qsizetype zero = t.indexOf(QLatin1String(".0")); zero >= 0)
        t.replace(zero, 2, QStringLiteral("."));
    if (t.startsWith(QLatin1Char('0')))
        t.remove(0, 1);
    return t;
}

std::optional<Problem> MemberEditor::leaveBirthday()
{
    form_.birthday = normaliseBirthday(form_.birthday);
    const QString t = form_.birthday.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    // Read as a day of 2001, so 29 February never passes.
    QString text = QStringLiteral("2001-") + t;
    if (const qsizetype dot = text.indexOf(QLatin1Char('.')); dot >= 0)
        text[dot] = QLatin1Char('-');
    const QStringList parts = text.split(QLatin1Char('-'));
    bool ok = parts.size() == 3;
    int numbers[3] = {};
    for (int i = 0; ok && i < 3; ++i) {
        const QString &p = parts.at(i);
        ok = !p.isEmpty() && p.size() <= 4 &&
             std::all_of(p.cbegin(), p.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        numbers[i] = p.toInt();
    }
    if (!ok || !QDate(numbers[0], numbers[1], numbers[2]).isValid())
        return problem(Field::Birthday, BirthdayText);
    return std::nullopt;
}

std::optional<Problem> MemberEditor::leave(Field field)
{
    switch (field) {
    case Field::CardNo:
        return leaveCardNo();
    case Field::Birthday:
        return leaveBirthday();
    case Field::Name:
        if (form_.name.trimmed().isEmpty())
            return problem(field, QStringLiteral("称呼不能为空!"));
        break;
    case Field::Opened:
    case Field::Expires:
        if (!(field == Field::Opened ? form_.opened : form_.expires).isValid())
            return problem(field, caption(field) + QStringLiteral("不是有效的日期!"));
        break;
    case Field::Discount: {
        const std::optional<Money> discount = Money::parse(form_.discount);
        if (!discount || *discount < Money::fromRaw(Money::Scale / 100) || *discount > Money::fromUnits(1))
            return problem(field, QStringLiteral("折扣必须是0.01~1.00之间的数字!"));
        break;
    }
    case Field::Points: {
        const std::optional<Money> points = amount(form_.points);
        if (!points || points->raw() % Money::Scale != 0)
            return problem(field, QStringLiteral("初始积分必须是不小于0的整数!"));
        break;
    }
    case Field::Balance:
        if (!amount(form_.balance))
            return problem(field, QStringLiteral("初始余额必须是不小于0的数字!"));
        break;
    default:
        break;
    }
    return std::nullopt;
}

std::optional<Problem> MemberEditor::checkFields()
{
    for (const Field field :
         {Field::Name, Field::Opened, Field::Expires, Field::Discount, Field::Birthday, Field::Points, Field::Balance}) {
        if (auto bad = leave(field))
            return bad;
    }
    const std::pair<Field, const QString *> texts[] = {
        {Field::Name, &form_.name},       {Field::Age, &form_.age},         {Field::Phone, &form_.phone},
        {Field::Job, &form_.job},         {Field::Email, &form_.email},     {Field::Address, &form_.address},
        {Field::Birthday, &form_.birthday}, {Field::Note, &form_.note},
    };
    for (const auto &[field, text] : texts) {
        if (text->size() > maxLength(field))
            return lengthProblem(field);
    }
    return std::nullopt;
}

QString MemberEditor::insertSql() const
{
    const QStringList texts{
        form_.cardNo, form_.name, getPY(form_.name), form_.phone, form_.job, form_.address, form_.email,
        form_.age, formatDate(form_.opened), formatDate(form_.expires), form_.birthday,
        QString::number(form_.grade), Money::parse(form_.discount).value_or(Money::fromUnits(1)).toPlainString(),
    };
    QStringList quoted;
    for (const QString &t : texts)
        quoted << sqlQuote(t);
    const QString points = Money::parse(form_.points).value_or(Money()).toPlainString();
    const QString balance = Money::parse(form_.balance).value_or(Money()).toPlainString();
    return QStringLiteral("INSERT INTO D702 (VIPID, VIPNAME, PYM, VIPTEL, VIPFAX, VIPADD, VIPEMAIL,VIPNUM, BDATE, "
                          "EDATE,BIRDATE, VIPGRARD, VIPZK, VIPF,VIPF_B, VIPM,VIPM_B, VIPNOTE, T) VALUES(") +
           quoted.join(QLatin1Char(',')) + QLatin1Char(',') + points + QLatin1Char(',') + points + QLatin1Char(',') +
           balance + QLatin1Char(',') + balance + QLatin1Char(',') + sqlQuote(form_.note) + QLatin1Char(',') +
           sqlQuote(QString::number(form_.status)) + QLatin1Char(')');
}

std::optional<Problem> MemberEditor::save()
{
    result_.clear();
    if (auto bad = checkFields())
        return bad;
    if (auto bad = leaveCardNo())
        return bad;
    try {
        shop_.execSql(opcode::Member, form_.cardNo, QStringLiteral("Add"), insertSql(),
                      session_.connection.serverTimeoutSeconds);
    } catch (const ShopServiceError &e) {
        // Another till took the number between the check and the insert.
        if (e.message().contains(QLatin1String("PK_D702")))
            return problem(Field::CardNo, DuplicateText);
        return problem(Field::None, e.message());
    }
    result_ = QLatin1Char('*') + form_.cardNo;
    return std::nullopt;
}

} // namespace vorel
