#include "targets.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "core/inifile.h"
#include "core/resultset.h"
#include "core/terminalsettings.h"
#include "core/text.h"
#include "printing/receipt.h"
#include "printing/receiptlibrary.h"
#include "server/wire.h"
#include "sqlengine/backend.h"
#include "sqlengine/sqlitebackend.h"
#include "sqlengine/translator.h"

namespace vorel::fuzz {

namespace {

[[noreturn]] void broken(const char *what, const QString &detail = {})
{
    std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

QString sourcePath(const char *relative)
{
    return QStringLiteral(VOREL_FUZZ_SOURCE_DIR "/") + QLatin1String(relative);
}

// A scratch folder on a memory file system where there is one: the INI target saves a file
// for every input, and a disk would make that the whole cost.
QString scratchFolder()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/vorel-fuzz-XXXXXX")
                                                                        : QDir::tempPath() + QStringLiteral("/vorel-fuzz-XXXXXX"));
    if (!dir.isValid())
        broken("no scratch folder");
    return dir.path();
}

// --- T-SQL ---------------------------------------------------------------------------

// The shop's tables as the service sees them: the real schema loaded into a scratch SQLite file.
const sql::Catalog &shopCatalog()
{
    static const sql::Catalog catalog = [] {
        QFile schema(sourcePath("data/schema/shop-sqlite.sql"));
        if (!schema.open(QIODevice::ReadOnly))
            broken("cannot read the shop schema");
        sql::SqliteBackend db(scratchFolder() + QStringLiteral("/catalog.db"), true);
        db.executeScript(QString::fromUtf8(schema.readAll()));
        return db.loadCatalog();
    }();
    return catalog;
}

// The batch parser has no depth limit of its own yet: thousands of nested IF or BEGIN run the
// stack out. Such batches are left out here so that the fuzzer keeps looking for other faults;
// the count of IF and BEGIN words bounds the nesting, and a thousand is far more than any
// batch a till sends. Parentheses and everything else stay unguarded.
constexpr int MaxControlWords = 1000;

int controlWords(const QList<sql::Token> &tokens)
{
    int words = 0;
    for (const sql::Token &t : tokens) {
        if (t.isWord("IF") || t.isWord("BEGIN"))
            ++words;
    }
    return words;
}

void bindAll(const sql::Node &node, const QList<sql::Literal> &literals, sql::BackendKind backend, bool *refused)
{
    if (node.kind == sql::Node::Kind::Statement || node.kind == sql::Node::Kind::If) {
        try {
            const std::vector<sql::BoundValue> values = sql::boundValues(node, literals, backend, QDateTime::currentDateTime());
            if (values.size() != node.params.size())
                broken("a placeholder without its value");
        } catch (const sql::TranslationError &) {
            *refused = true;
        }
    }
    for (const sql::Node &child : node.children)
        bindAll(child, literals, backend, refused);
}

} // namespace

void sqlBatch(const std::uint8_t *data, std::size_t size)
{
    const QString batch = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QList<sql::Token> tokens;
    try {
        tokens = sql::tokenize(batch);
    } catch (const sql::TranslationError &) {
        return;
    }
    for (const sql::Token &t : tokens) {
        if (t.position < 0 || t.position >= batch.size())
            broken("a token outside its batch");
    }
    const int nesting = controlWords(tokens);
    if (nesting > MaxControlWords)
        return;

    // A small cache, so that forgetting old entries is part of every run.
    static sql::TranslationCache cache(64 * 1024);
    for (const sql::BackendKind backend : {sql::BackendKind::SQLite, sql::BackendKind::PostgreSQL}) {
        bool plainRefused = false;
        try {
            const sql::Program program = sql::translate(batch, backend, shopCatalog());
            // The description indents each level: quadratic in the nesting, and only for tests
            // and `vorel-server explain`.
            if (nesting < 100)
                (void)sql::describe(program);
        } catch (const sql::TranslationError &) {
            plainRefused = true;
        }
        bool cachedRefused = false;
        try {
            const sql::Translation t = cache.get(batch, backend, shopCatalog());
            for (const sql::Node &node : t.program->nodes)
                bindAll(node, t.literals, backend, &cachedRefused);
            // The same batch again comes from the cache and must give the same program.
            if (cache.get(batch, backend, shopCatalog()).program != t.program)
                broken("the cache forgot the batch it just translated");
        } catch (const sql::TranslationError &) {
            cachedRefused = true;
        }
        // With its literals taken out or left in, a batch translates or is refused alike.
        if (plainRefused != cachedRefused)
            broken(plainRefused ? "only the text translation refused" : "only the cached translation refused", batch.left(200));
    }
}

// --- INI files ------------------------------------------------------------------------

namespace {

struct KeyValue {
    QString section;
    QString key;
    QString value;
};

std::vector<KeyValue> everyKey(const IniFile &ini, const QString &except)
{
    std::vector<KeyValue> out;
    for (const QString &section : ini.sections()) {
        if (!ini.hasSection(section))
            broken("a listed section is not found", section);
        if (section.compare(except, Qt::CaseInsensitive) == 0)
            continue;
        for (const QString &key : ini.sectionKeys(section)) {
            if (!ini.hasKey(section, key))
                broken("a listed key is not found", section + u'/' + key);
            out.push_back({section, key, ini.readString(section, key)});
        }
    }
    return out;
}

} // namespace

void iniFile(const std::uint8_t *data, std::size_t size)
{
    const QString path = scratchFolder() + QStringLiteral("/VOREL.DLL");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            broken("cannot write the scratch file");
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    const QString fuzzSection = QStringLiteral("VorelFuzz");
    const QString fuzzKey = QStringLiteral("written");
    const QString fuzzValue = QStringLiteral("值 = 1");
    std::vector<KeyValue> before;
    {
        const IniFile ini(path);
        before = everyKey(ini, fuzzSection);
        for (const KeyValue &kv : before) {
            (void)ini.readInt(kv.section, kv.key, 0);
            (void)ini.readBool(kv.section, kv.key, false);
            (void)ini.readFloat(kv.section, kv.key, 0.0);
            const quint32 colour = ini.readColor(kv.section, kv.key, 0x01000000u);
            if (colour != 0x01000000u && colour > 0x00FFFFFFu)
                broken("a colour outside 0x00FFFFFF", kv.value);
        }
    }
    {
        IniFile ini(path);
        if (!ini.writeString(fuzzSection, fuzzKey, fuzzValue))
            broken("the settings file could not be saved");
    }
    // The key reads back, and every other key still reads as before.
    const IniFile again(path);
    if (again.readString(fuzzSection, fuzzKey) != fuzzValue)
        broken("a written key does not read back", again.readString(fuzzSection, fuzzKey));
    const std::vector<KeyValue> after = everyKey(again, fuzzSection);
    if (after.size() != before.size())
        broken("writing one key changed the other keys");
    for (size_t i = 0; i < before.size(); ++i) {
        if (after[i].section != before[i].section || after[i].key != before[i].key || after[i].value != before[i].value)
            broken("writing one key changed another", before[i].section + u'/' + before[i].key);
    }
}

// --- Receipts --------------------------------------------------------------------------

namespace {

// Parts of a receipt input: two control bytes, then texts separated by 0x1E.
enum Part { Heading, LineTemplate, Footing, Due, Cash, Change, Voucher, StoredValue, BankCard, RoundOff, SlipPoints,
            Points, TagTotal, DiscountTotal, ItemName, PartCount };
constexpr char Separator = '\x1e';

} // namespace

void receiptTemplate(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return;
    const std::uint8_t flags = data[0];
    const std::uint8_t number = data[1];
    const QStringList parts = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), static_cast<qsizetype>(size - 2))
                                  .split(QLatin1Char(Separator));
    const auto part = [&](Part p) { return p < parts.size() ? parts.at(p) : QString(); };

    ReceiptRequest r;
    if (!(flags & 1)) {
        r.lines = QList<ReceiptLine>{
            {"6901234567890", "TX00101", "修身衬衫", "黑色", "M", 2, 79.0, 142.2, 0.9, "会员价"},
            {"ZZZZZ", "ZZZZZ", part(ItemName), "", "", static_cast<qint32>(number) - 128, -53.73, -53.73, 1.0,
             part(ItemName)},
        };
    }
    r.heading = part(Heading);
    r.lineTemplate = part(LineTemplate);
    r.footing = part(Footing);
    r.due = part(Due);
    r.cash = part(Cash);
    r.change = part(Change);
    r.voucher = part(Voucher);
    r.storedValue = part(StoredValue);
    r.bankCard = part(BankCard);
    r.roundOff = part(RoundOff);
    r.slipPoints = part(SlipPoints);
    r.accumulatedPoints = part(Points);
    r.tagTotal = part(TagTotal);
    r.discountTotal = part(DiscountTotal);
    r.memberCard = QStringLiteral("88000001");
    r.slipNumber = QStringLiteral("00110000000");
    r.slipDate = (flags & 16) ? QString() : QStringLiteral("2026-12-05 10:30:15");
    r.terminal = QStringLiteral("001");
    r.cashier = QStringLiteral("01");
    r.salesperson = QStringLiteral("02");
    r.driver = flags & 2;
    r.test = flags & 4;
    r.showOnly = flags & 8;
    r.decimals = number % 8;
    const ReceiptEnvironment env{(number / 8) % 5, bool(flags & 32), QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15))};
    try {
        const RenderedReceipt out = renderReceipt(r, env);
        (void)out.text();
        (void)out.body();
    } catch (const ReceiptNumberError &) {
    }
    (void)receiptOutput(r, flags & 64, flags & 128);

    // A token's value is brought to exactly the token's width in GBK bytes.
    const int width = number % 40;
    for (const QString &text : parts) {
        const QString fitted = fitReceiptToken(text, width);
        if (gbkLength(fitted) != width)
            broken("a token's value does not fill its width", QStringLiteral("%1 -> %2: ").arg(width).arg(gbkLength(fitted)) + text.left(80));
    }
}

// --- Wire ---------------------------------------------------------------------------------

namespace {

// How deep a JSON value nests, counted without recursion.
int depthOf(const wire::Json &root)
{
    int deepest = 0;
    std::vector<std::pair<const wire::Json *, int>> open{{&root, 1}};
    while (!open.empty()) {
        const auto [value, depth] = open.back();
        open.pop_back();
        deepest = std::max(deepest, depth);
        if (value->is_structured()) {
            for (const wire::Json &child : *value)
                open.emplace_back(&child, depth + 1);
        }
    }
    return deepest;
}

bool anyInfinite(const wire::Json &root)
{
    std::vector<const wire::Json *> open{&root};
    while (!open.empty()) {
        const wire::Json *value = open.back();
        open.pop_back();
        if (value->is_number_float() && !std::isfinite(value->get<double>()))
            return true;
        if (value->is_structured()) {
            for (const wire::Json &child : *value)
                open.push_back(&child);
        }
    }
    return false;
}

void decodeResultSet(const wire::Json &value)
{
    try {
        const ResultSet rows = wire::resultSetFromJson(value);
        const ResultSet again = wire::resultSetFromJson(wire::resultSetToJson(rows));
        if (again.columnCount() != rows.columnCount() || again.totalRowCount() != rows.totalRowCount())
            broken("a result set changed shape on its way through the wire");
    } catch (const wire::WireError &) {
    }
}

} // namespace

void wireRequest(const std::uint8_t *data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);
    wire::Json j;
    try {
        j = wire::parseObject(body);
    } catch (const wire::WireError &) {
        return;
    }
    // The fields the handlers of the two services read.
    for (const char *key : {"user", "password_md5", "sql", "code", "kind"}) {
        try {
            (void)wire::requiredText(j, key);
        } catch (const wire::WireError &) {
        }
    }
    for (const char *key : {"terminal_key", "database"})
        (void)wire::optionalText(j, key);
    if (const auto length = j.find("length"); length != j.end() && length->is_number_integer())
        (void)length->get<int>();
    if (const auto fields = j.find("fields"); fields != j.end() && fields->is_array()) {
        for (const wire::Json &f : *fields)
            (void)wire::toQString(f);
    }
    // The replies the till decodes.
    decodeResultSet(j);
    if (const auto result = j.find("result"); result != j.end())
        decodeResultSet(*result);
    try {
        (void)wire::onlineTillsFromJson(j);
    } catch (const wire::WireError &) {
    }
    // What the service writes reads back as the same value. Writing is recursive in the JSON
    // library, and the service only writes its own replies, so deep inputs stop here.
    if (depthOf(j) > 200 || anyInfinite(j))
        return;
    if (wire::parseObject(wire::serialize(j)) != j)
        broken("a body does not read back as itself", QString::fromStdString(body.substr(0, 200)));
}

// --- Seeds ------------------------------------------------------------------------------

namespace {

void writeSeed(const QString &dir, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(dir);
    QFile f(dir + u'/' + name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        broken("cannot write a seed", f.fileName());
}

} // namespace

void writeSeeds(const std::string &sourceDir, const std::string &dir)
{
    const QString source = QString::fromStdString(sourceDir);
    const QString out = QString::fromStdString(dir);

    // Every batch of the SQL corpus: the lines between "batch" and "----".
    const QDir corpus(source + QStringLiteral("/tests/corpus"));
    for (const QString &name : corpus.entryList({QStringLiteral("*.test")}, QDir::Files, QDir::Name)) {
        QFile f(corpus.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            broken("cannot read", f.fileName());
        int n = 0;
        QByteArray batch;
        bool inBatch = false;
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (!inBatch) {
                inBatch = line == "batch";
                batch.clear();
            } else if (line == "----") {
                writeSeed(out + QStringLiteral("/sql"), QStringLiteral("%1-%2").arg(QFileInfo(name).baseName()).arg(++n), batch);
                inBatch = false;
            } else {
                batch += (batch.isEmpty() ? "" : "\n") + line;
            }
        }
    }

    // A settings file as the till writes it.
    const QString ini = scratchFolder() + QStringLiteral("/seed.ini");
    QFile::remove(ini);
    {
        TerminalSettings settings(ini);
        settings.setPosId(QStringLiteral("001"));
        settings.setWarehouseName(QStringLiteral("样板店"));
        settings.setSlogan(QStringLiteral("欢迎光临"));
        settings.setThemeColor(0x00C08080);
        settings.setLockMinutes(5);
        settings.writeDeviceSettings(settings.deviceSettings());
        GridLayout grid;
        grid.widths.fill(60);
        settings.writeGridLayout(grid);
    }
    QFile iniFile(ini);
    if (!iniFile.open(QIODevice::ReadOnly))
        broken("cannot read the seed settings file");
    const QByteArray settingsBytes = iniFile.readAll();
    writeSeed(out + QStringLiteral("/ini"), QStringLiteral("terminal-settings"), settingsBytes);
    writeSeed(out + QStringLiteral("/ini"), QStringLiteral("terminal-settings-utf8"), "\xEF\xBB\xBF" + settingsBytes);

    // The receipt library, with and without lines, with amounts as the till passes them.
    for (int i = 0; i < receiptLibrary().size(); ++i) {
        const ReceiptTemplateChoice c = takeLibraryTemplate(i, i % 2);
        const QStringList parts{c.templates.heading, c.templates.lineTemplate, c.templates.footing, "437.10", "500",
                                "62.90", "0", "100.00", "0", "-0.07", "37", "1237", "516.00", "78.90", "修身牛仔裤"};
        const QByteArray text = parts.join(QLatin1Char(Separator)).toUtf8();
        writeSeed(out + QStringLiteral("/receipt"), QStringLiteral("library-%1").arg(i), QByteArray("\x00\x12", 2) + text);
        writeSeed(out + QStringLiteral("/receipt"), QStringLiteral("library-%1-test").arg(i), QByteArray("\x06\x2a", 2) + text);
    }

    // Request bodies as the till sends them, and replies as the service sends them.
    ResultSet rows({{"VIPID", FieldType::Text}, {"VIPF", FieldType::Integer}, {"VIPM", FieldType::Decimal},
                    {"BDATE", FieldType::DateTime}});
    rows.appendRow({QStringLiteral("88000001"), qint64(1200), 500.25, QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15))});
    rows.appendRow({QStringLiteral("88000002"), QVariant(), QVariant(), QVariant()});
    wire::OnlineTill till{"vorel", "001", "01", "张丽", "CL 1.0", QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15))};
    const std::vector<std::pair<const char *, wire::Json>> bodies{
        {"login", {{"user", "01"}, {"password_md5", "96a3be3cf272e017046d1b2674a52bd3"}, {"terminal_key", "vorel"}, {"database", "CL"}}},
        {"exec", {{"code", "Slip"}, {"sql", "UPDATE D702 SET VIPF = VIPF + 37 WHERE VIPID = '88000001'"}}},
        {"open", {{"sql", "SELECT VIPID, VIPNAME FROM D702 WHERE VIPID = N'88000001'"}}},
        {"noid", {{"code", "88"}, {"length", 8}}},
        {"message", {{"kind", "Connect"}, {"fields", {"01 张丽", "CL 1.0", "0", "x", "*", "g", "", "", ""}}}},
        {"login-reply", {{"token", "abc"}, {"result", wire::resultSetToJson(rows)}}},
        {"tills-reply", wire::onlineTillsToJson({till})},
    };
    for (const auto &[name, body] : bodies)
        writeSeed(out + QStringLiteral("/wire"), QLatin1String(name), QByteArray::fromStdString(wire::serialize(body)));
}

} // namespace vorel::fuzz
