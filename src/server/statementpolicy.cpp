#include "server/statementpolicy.h"

#include <QHash>
#include <QSet>
#include <mutex>

#include "sqlengine/statementaccess.h"
#include "sqlengine/translator.h"

namespace vorel::server {

namespace {

using sql::BatchAccess;
using sql::ColumnUse;
using sql::StatementAccess;

enum Op : unsigned { Read = 1, Insert = 2, Update = 4, Delete = 8 };

struct TableRule {
    unsigned ops = Read;
    // Update: the columns the till changes; empty: any.
    QSet<QString> updated;
};

// The shop's tables and views with what the till does to each. The service's own tables
// (signing key, tills online, member number counters, and whatever else the service keeps)
// are not here and so refused.
const QHash<QString, TableRule> &tillTables()
{
    static const QHash<QString, TableRule> rules = {
        {QStringLiteral("sys_co"), {Read, {}}},
        // Read without PASSWORD; the password changed on the user's own row only.
        {QStringLiteral("sys_user"), {Read | Update, {QStringLiteral("password")}}},
        {QStringLiteral("sys_user_ck"), {Read, {}}},
        {QStringLiteral("view_ck"), {Read, {}}},
        {QStringLiteral("sys_log_login"), {Read | Insert | Update, {}}},
        {QStringLiteral("d1007"), {Read, {}}},
        // Registration adds the till; the receipt settings are saved on its row.
        {QStringLiteral("d701"),
         {Read | Insert | Update,
          {QStringLiteral("postop"), QStringLiteral("posde"), QStringLiteral("posend"), QStringLiteral("possize"),
           QStringLiteral("posfont1"), QStringLiteral("posfont2")}}},
        {QStringLiteral("d711"), {Read, {}}},
        {QStringLiteral("d703"), {Read | Insert, {}}},
        {QStringLiteral("d1101"), {Read, {}}},
        // New members from the member editor; points and stored value moved by slips.
        {QStringLiteral("d702"), {Read | Insert | Update, {QStringLiteral("vipf"), QStringLiteral("vipm")}}},
        {QStringLiteral("d705"), {Read, {}}},
        {QStringLiteral("d1009"), {Read, {}}},
        {QStringLiteral("d1005"), {Read, {}}},
        {QStringLiteral("vd1005"), {Read, {}}},
        {QStringLiteral("d1006"), {Read, {}}},
        {QStringLiteral("d1800"), {Read, {}}},
        {QStringLiteral("d1801"), {Read | Insert, {}}},
        {QStringLiteral("d1802"), {Read | Insert, {}}},
        {QStringLiteral("d1809"), {Read, {}}},
        {QStringLiteral("d704g"), {Read, {}}},
        {QStringLiteral("d704"), {Read, {}}},
        {QStringLiteral("vd704"), {Read, {}}},
        {QStringLiteral("d712"), {Read | Insert | Update, {}}},
        {QStringLiteral("d712a"), {Read | Insert | Update, {}}},
    };
    return rules;
}

// Functions the till's SQL calls (type names count: CAST(x AS VARCHAR(10))).
const QSet<QString> &tillFunctions()
{
    static const QSet<QString> names = {
        QStringLiteral("getdate"), QStringLiteral("count"), QStringLiteral("sum"), QStringLiteral("max"),
        QStringLiteral("min"), QStringLiteral("avg"), QStringLiteral("isnull"), QStringLiteral("coalesce"),
        QStringLiteral("ifnull"), QStringLiteral("cast"), QStringLiteral("convert"), QStringLiteral("round"),
        QStringLiteral("abs"), QStringLiteral("upper"), QStringLiteral("lower"), QStringLiteral("ltrim"),
        QStringLiteral("rtrim"), QStringLiteral("trim"), QStringLiteral("len"), QStringLiteral("length"),
        QStringLiteral("substring"), QStringLiteral("left"), QStringLiteral("right"), QStringLiteral("year"),
        QStringLiteral("month"), QStringLiteral("day"), QStringLiteral("datediff"), QStringLiteral("dateadd"),
        QStringLiteral("date"), QStringLiteral("varchar"), QStringLiteral("nvarchar"), QStringLiteral("char"),
        QStringLiteral("nchar"), QStringLiteral("decimal"), QStringLiteral("numeric"), QStringLiteral("float"),
        QStringLiteral("int"), QStringLiteral("money"),
    };
    return names;
}

// Names that point into a database's catalogue or the service's keeping, wherever they
// stand in a statement.
QString forbiddenName(const QString &name)
{
    static const QSet<QString> service = {
        QStringLiteral("sys_server"), QStringLiteral("sys_till"), QStringLiteral("sys_noid"),
        QStringLiteral("information_schema"), QStringLiteral("sqlite_master"), QStringLiteral("sqlite_schema"),
        QStringLiteral("sqlite_temp_master"), QStringLiteral("sqlite_sequence"),
    };
    if (service.contains(name))
        return QStringLiteral("系统表 %1").arg(name.toUpper());
    for (const char *prefix : {"pg_", "sqlite_", "lo_", "dblink"})
        if (name.startsWith(QLatin1String(prefix)))
            return QStringLiteral("系统对象 %1").arg(name);
    // The shop's SYS_ tables are in tillTables; the service keeps its own beside them.
    if (name.startsWith(QLatin1String("sys_")) && !tillTables().contains(name))
        return QStringLiteral("系统表 %1").arg(name.toUpper());
    return {};
}

const ColumnUse *find(const StatementAccess &s, const QString &table, const QString &column, ColumnUse::Kind kind)
{
    for (const ColumnUse &use : s.columns)
        if (use.kind == kind && use.column == column && (use.table == table || use.table.isEmpty()))
            return &use;
    return nullptr;
}

// The download of the users for the offline login: the one statement that reads
// SYS_USER.PASSWORD.
bool isUserDownload(const BatchAccess &batch, const StatementAccess &s)
{
    static const QString download = QStringLiteral("SELECT * FROM SYS_USER WHERE T = 1 AND POS = 1");
    return batch.statements().size() == 1 && batch.normalized(s) == download;
}

// "vipm = vipm - n" (a payment) or "vipm = vipm + n" (a top-up, whose slip is in the batch).
QString storedValueChange(const BatchAccess &batch, const StatementAccess &s, const ColumnUse &use)
{
    const auto &t = batch.tokens();
    const int at = use.at;
    const bool shape = at + 5 <= s.end && t[at + 1].isOp("=") && t[at + 2].is(sql::TokenKind::Word)
        && t[at + 2].text.compare(t[at].text, Qt::CaseInsensitive) == 0 && (t[at + 3].isOp("-") || t[at + 3].isOp("+"))
        && t[at + 4].is(sql::TokenKind::Number)
        && (at + 5 == s.end || t[at + 5].is(sql::TokenKind::Comma) || t[at + 5].isWord("WHERE"));
    if (!shape)
        return QStringLiteral("修改会员储值");
    if (t[at + 3].isOp("-"))
        return {};
    for (const StatementAccess &other : batch.statements())
        if (other.kind == StatementAccess::Kind::Insert && other.target == QLatin1String("d712"))
            return {};
    return QStringLiteral("增加会员储值(不是充值单)");
}

bool hasWord(const BatchAccess &batch, const StatementAccess &s, const char *word)
{
    for (int i = s.begin; i < s.end; ++i)
        if (batch.tokens()[i].isWord(word))
            return true;
    return false;
}

QString checkSysUser(const BatchAccess &batch, const StatementAccess &s, const QString &userId)
{
    const QString table = QStringLiteral("sys_user");
    const QString password = QStringLiteral("password");
    if (s.reusesAliases)
        return QStringLiteral("SYS_USER 语句中别名重复");
    for (const ColumnUse &use : s.columns) {
        const bool userColumn = use.table == table || (use.table.isEmpty() && s.tables.contains(table));
        if (!userColumn)
            continue;
        if (use.kind == ColumnUse::Kind::AllColumns && !isUserDownload(batch, s))
            return QStringLiteral("读取 SYS_USER 全部字段");
        if (use.column != password)
            continue;
        if (use.kind == ColumnUse::Kind::Read || use.kind == ColumnUse::Kind::Inserted)
            return QStringLiteral("读取 SYS_USER.PASSWORD");
        if (use.kind == ColumnUse::Kind::Compared && !use.literal)
            return QStringLiteral("读取 SYS_USER.PASSWORD");
        if (use.kind == ColumnUse::Kind::Assigned) {
            const ColumnUse *own = find(s, table, QStringLiteral("user_id"), ColumnUse::Kind::Compared);
            // Every condition ANDed, none negated or in a subquery: USER_ID = own decides.
            const bool plainFilter = !s.hasOr && !s.hasFrom && !hasWord(batch, s, "NOT") && !hasWord(batch, s, "SELECT");
            const bool ownRow = s.kind == StatementAccess::Kind::Update && s.target == table && use.literal
                && plainFilter && own && own->value == userId;
            if (!ownRow)
                return QStringLiteral("修改其他用户的密码");
        }
    }
    return {};
}

QString checkStatement(const BatchAccess &batch, const StatementAccess &s, const QString &userId)
{
    using Kind = StatementAccess::Kind;
    if (s.kind == Kind::Other)
        return QStringLiteral("%1 语句").arg(s.verb);
    if (s.selectInto)
        return QStringLiteral("SELECT INTO");
    for (const QString &name : s.names) {
        const QString why = forbiddenName(name);
        if (!why.isEmpty())
            return why;
    }
    if (s.renamesColumns)
        return QStringLiteral("列别名");
    if (s.schemaQualified)
        return QStringLiteral("带库名的表或函数");
    for (const QString &function : s.functions)
        if (!tillFunctions().contains(function))
            return QStringLiteral("函数 %1").arg(function);
    const auto &rules = tillTables();
    for (const QString &table : s.tables)
        if (!rules.contains(table))
            return QStringLiteral("表 %1").arg(table.toUpper());
    if (s.kind == Kind::Insert || s.kind == Kind::Update || s.kind == Kind::Delete) {
        const unsigned op = s.kind == Kind::Insert ? Insert : s.kind == Kind::Update ? Update : Delete;
        const auto rule = rules.constFind(s.target);
        if (rule == rules.constEnd() || !(rule->ops & op))
            return QStringLiteral("%1 %2").arg(s.verb, s.target.toUpper());
        if (op == Update && !rule->updated.isEmpty()) {
            for (const ColumnUse &use : s.columns) {
                if (use.kind != ColumnUse::Kind::Assigned)
                    continue;
                if (!rule->updated.contains(use.column))
                    return QStringLiteral("修改 %1.%2").arg(s.target.toUpper(), use.column.toUpper());
                if (s.target == QLatin1String("d702") && use.column == QLatin1String("vipm")) {
                    const QString why = storedValueChange(batch, s, use);
                    if (!why.isEmpty())
                        return why;
                }
            }
        }
    }
    if (s.tables.contains(QStringLiteral("sys_user")))
        return checkSysUser(batch, s, userId);
    return {};
}

// A batch the engine cannot split: the statement a till never sends that it holds, if any.
QString unknownStatement(const QString &batch)
{
    static const QSet<QString> words = {
        QStringLiteral("PRAGMA"), QStringLiteral("ATTACH"), QStringLiteral("DETACH"), QStringLiteral("COPY"),
        QStringLiteral("EXEC"), QStringLiteral("EXECUTE"), QStringLiteral("TRUNCATE"), QStringLiteral("GRANT"),
        QStringLiteral("REVOKE"), QStringLiteral("VACUUM"), QStringLiteral("CALL"), QStringLiteral("DO"),
        QStringLiteral("LOAD"), QStringLiteral("REPLACE"), QStringLiteral("MERGE"), QStringLiteral("REINDEX"),
        QStringLiteral("ANALYZE"), QStringLiteral("LISTEN"), QStringLiteral("NOTIFY"), QStringLiteral("PREPARE"),
        QStringLiteral("DECLARE"), QStringLiteral("RESET"), QStringLiteral("SHUTDOWN"),
    };
    try {
        for (const sql::Token &t : sql::tokenize(batch))
            if (t.is(sql::TokenKind::Word) && words.contains(t.text.toUpper()))
                return StatementPolicy::RefusalPrefix + QStringLiteral("%1 语句").arg(t.text.toUpper());
    } catch (const sql::TranslationError &) {
    }
    return {};
}

// The shapes of batches found allowed whatever their values, so the till's everyday batches
// (another barcode, another slip) are read once. Batches naming SYS_USER are judged by their
// values and never kept; refusals are not kept either.
class AllowedShapes {
public:
    bool contains(const QString &key)
    {
        const std::lock_guard lock(mutex_);
        return shapes_.contains(key);
    }
    void add(const QString &key)
    {
        const std::lock_guard lock(mutex_);
        if (bytes_ + key.size() > MaxChars) {
            shapes_.clear(); // a fresh start now and then costs one reading per shape
            bytes_ = 0;
        }
        if (!shapes_.contains(key)) {
            shapes_.insert(key);
            bytes_ += key.size();
        }
    }

private:
    static constexpr qsizetype MaxChars = 2 * 1024 * 1024;
    std::mutex mutex_;
    QSet<QString> shapes_;
    qsizetype bytes_ = 0;
};

AllowedShapes &allowedShapes()
{
    static AllowedShapes shapes;
    return shapes;
}

} // namespace

QString StatementPolicy::tillPrivileges(const QString &table)
{
    const auto rule = tillTables().constFind(table.toLower());
    if (rule == tillTables().constEnd())
        return {};
    QStringList privileges;
    if (rule->ops & Read)
        privileges << QStringLiteral("SELECT");
    if (rule->ops & Insert)
        privileges << QStringLiteral("INSERT");
    if (rule->ops & Update) {
        QStringList columns(rule->updated.begin(), rule->updated.end());
        columns.sort();
        privileges << (columns.isEmpty() ? QStringLiteral("UPDATE")
                                         : QStringLiteral("UPDATE (%1)").arg(columns.join(QStringLiteral(", "))));
    }
    if (rule->ops & Delete)
        privileges << QStringLiteral("DELETE");
    return privileges.join(QStringLiteral(", "));
}

QString StatementPolicy::check(const QString &batch, const QString &userId, const sql::BatchShape *batchShape)
{
    const QString shape = batchShape ? batchShape->key : sql::readShape(batch).key;
    if (!shape.isEmpty() && allowedShapes().contains(shape))
        return {};
    try {
        const BatchAccess access(batch);
        bool byValues = false;
        for (const StatementAccess &s : access.statements()) {
            const QString why = checkStatement(access, s, userId);
            if (!why.isEmpty())
                return RefusalPrefix + why;
            byValues = byValues || s.tables.contains(QStringLiteral("sys_user"));
        }
        if (!shape.isEmpty() && !byValues)
            allowedShapes().add(shape);
    } catch (const sql::TranslationError &) {
        // The engine refuses this text before running any of it; what it names is said
        // here when it is a statement of its own a till never sends.
        return unknownStatement(batch);
    }
    return {};
}

} // namespace vorel::server
