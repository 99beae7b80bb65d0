// Runs the SQL scripts under tests/corpus on a fresh demo shop, once on SQLite and once on
// PostgreSQL, and compares every batch's output with the text the script expects.
//
// Script format (one file is one scenario; its batches share one database):
//
//   # a comment
//   date 2026-12-05 10:30:15        the till clock from here on (getdate())
//   batch [rowsort]                 a batch follows, up to the line "----"
//   <T-SQL lines>
//   ----
//   <expected output, as `vorel-server exec` prints it, up to the first blank line>
//
// "rowsort" sorts the result rows before comparing, for queries without ORDER BY.
// "skipif sqlite" or "skipif postgresql" on the line before "batch" skips that batch on
// one backend (for texts that only one dialect accepts, e.g. the local store's SQL).
// Run with VOREL_CORPUS_UPDATE=1 to write what SQLite printed back into the scripts
// (then read the diff: the expectations are what the till relies on).

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTextStream>
#include <optional>

#include "core/clock.h"
#include "sqlengine/engine.h"
#include "sqlengine/textoutput.h"
#include "sqlengine/translator.h"
#include "fakeclock.h"
#include "testshop.h"

namespace vorel::sql {
namespace {

struct Block {
    int line = 0;            // where "batch" stands, 1-based
    QString sql;
    QString expected;
    bool rowsort = false;
    QString skipOn;          // "sqlite" or "postgresql"
    QDateTime clock;         // the till clock for this batch
    int expectedStart = 0;   // first expected line (0-based) for updates
    int expectedEnd = 0;     // one past the last expected line
};

struct Script {
    QString path;
    QStringList lines;
    std::vector<Block> blocks;
};

Script readScript(const QString &path)
{
    Script s;
    s.path = path;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    s.lines = QString::fromUtf8(f.readAll()).split(u'\n');
    QDateTime clock(QDate(2026, 12, 5), QTime(10, 30, 15));
    QString skip;
    for (int i = 0; i < s.lines.size(); ++i) {
        const QString line = s.lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(QLatin1String("date "))) {
            clock = parseDateTime(line.mid(5));
            if (!clock.isValid())
                throw std::runtime_error(QStringLiteral("%1:%2: bad date").arg(path).arg(i + 1).toStdString());
            continue;
        }
        if (line == QLatin1String("notill") || line.startsWith(QLatin1String("till ")))
            continue; // read by the service's statement policy test
        if (line.startsWith(QLatin1String("skipif "))) {
            skip = line.mid(7).trimmed().toLower();
            continue;
        }
        if (line == QLatin1String("batch") || line == QLatin1String("batch rowsort")) {
            Block b;
            b.line = i + 1;
            b.rowsort = line.endsWith(QLatin1String("rowsort"));
            b.skipOn = std::exchange(skip, QString());
            b.clock = clock;
            QStringList sql;
            ++i;
            while (i < s.lines.size() && s.lines[i].trimmed() != QLatin1String("----"))
                sql << s.lines[i++];
            if (i >= s.lines.size())
                throw std::runtime_error(QStringLiteral("%1:%2: batch without ----").arg(path).arg(b.line).toStdString());
            b.sql = sql.join(u'\n');
            ++i;
            b.expectedStart = i;
            QStringList expected;
            while (i < s.lines.size() && !s.lines[i].trimmed().isEmpty())
                expected << s.lines[i++];
            b.expectedEnd = i;
            b.expected = expected.join(u'\n');
            s.blocks.push_back(std::move(b));
            continue;
        }
        throw std::runtime_error(QStringLiteral("%1:%2: cannot read '%3'").arg(path).arg(i + 1).arg(line).toStdString());
    }
    return s;
}

QString normalised(QString out, bool rowsort)
{
    // Trailing blanks and tabs (null columns at the end of a row) are dropped before rows
    // are sorted, so a sorted row compares the same wherever it stood.
    QStringList lines = out.trimmed().split(u'\n');
    for (QString &l : lines)
        while (l.endsWith(u' ') || l.endsWith(u'\t') || l.endsWith(u'\r'))
            l.chop(1);
    if (rowsort && lines.size() > 2) {
        QStringList rows = lines.mid(2);
        rows.sort();
        lines = lines.mid(0, 2) + rows;
    }
    return lines.join(u'\n');
}

QString corpusDir()
{
    return QStringLiteral(VOREL_CORPUS_DIR);
}

struct Param {
    QString file;
    BackendKind backend;
};

std::vector<Param> params()
{
    std::vector<Param> out;
    const QStringList files = QDir(corpusDir()).entryList({QStringLiteral("*.test")}, QDir::Files, QDir::Name);
    for (const QString &f : files)
        for (BackendKind k : {BackendKind::SQLite, BackendKind::PostgreSQL})
            out.push_back({f, k});
    return out;
}

// The program a batch shares with others of its shape, its values written back in, is the
// program of the batch's own text: which literals are bound never changes a statement.
void expectSameWithValuesWrittenIn(const std::vector<Node> &shared, const std::vector<Node> &own,
                                   const QList<Literal> &literals, BackendKind kind, const QDateTime &now,
                                   const std::string &where)
{
    ASSERT_EQ(shared.size(), own.size()) << where;
    const QString nowLiteral = kind == BackendKind::PostgreSQL ? QStringLiteral("TIMESTAMP '%1'").arg(formatDateTime(now))
                                                               : QStringLiteral("'%1'").arg(formatDateTime(now));
    for (size_t i = 0; i < shared.size(); ++i) {
        EXPECT_EQ(inlineValues(shared[i].sql, boundValues(shared[i], literals, kind, now)).toStdString(),
                  QString(own[i].sql).replace(NowMarker, nowLiteral).toStdString())
            << where;
        EXPECT_EQ(shared[i].message, own[i].message) << where;
        expectSameWithValuesWrittenIn(shared[i].children, own[i].children, literals, kind, now, where);
    }
}

class Corpus : public ::testing::TestWithParam<Param> {};

TEST_P(Corpus, ScriptGivesTheExpectedOutput)
{
    const Param &p = GetParam();
    VOREL_REQUIRE_BACKEND(p.backend);
    Script script = readScript(corpusDir() + u'/' + p.file);
    ASSERT_FALSE(script.blocks.empty()) << "no batch in " << p.file.toStdString();

    test::TestShop shop(p.backend, test::TestShop::Content::Demo, QDate(2026, 12, 5));
    auto db = shop.open();
    FakeClock clock;
    Engine engine(*db, clock);
    const QString backendName = p.backend == BackendKind::SQLite ? QStringLiteral("sqlite") : QStringLiteral("postgresql");
    const bool update = p.backend == BackendKind::SQLite && qEnvironmentVariableIsSet("VOREL_CORPUS_UPDATE");

    std::vector<std::pair<const Block *, QString>> actuals;
    const Catalog catalog = db->loadCatalog();
    TranslationCache shapes;
    for (const Block &b : script.blocks) {
        if (b.skipOn == backendName)
            continue;
        clock.set(b.clock);
        const std::string where = p.file.toStdString() + ":" + std::to_string(b.line);
        std::optional<Program> own;
        try {
            own = translate(b.sql, p.backend, catalog);
        } catch (const TranslationError &) {
            // The engine's reply to it is the expected output below.
        }
        if (own) {
            const Translation shared = shapes.get(b.sql, p.backend, catalog);
            expectSameWithValuesWrittenIn(shared.program->nodes, own->nodes, shared.literals, p.backend, b.clock, where);
        }
        const QString actual = normalised(formatBatchText(engine.run(b.sql)), b.rowsort);
        if (update)
            actuals.emplace_back(&b, actual);
        else
            EXPECT_EQ(actual.toStdString(), normalised(b.expected, b.rowsort).toStdString())
                << p.file.toStdString() << ":" << b.line << " on " << backendName.toStdString();
    }
    if (update) {
        // Rewrite from the last block backwards so earlier line numbers stay valid.
        for (auto it = actuals.rbegin(); it != actuals.rend(); ++it)
            script.lines = script.lines.mid(0, it->first->expectedStart) + it->second.split(u'\n')
                           + script.lines.mid(it->first->expectedEnd);
        QFile f(script.path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(script.lines.join(u'\n').toUtf8());
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, Corpus, ::testing::ValuesIn(params()), [](const auto &info) {
    QString name = info.param.file;
    name.chop(5);
    name.replace(u'-', u'_');
    return (name + (info.param.backend == BackendKind::SQLite ? QStringLiteral("_SQLite") : QStringLiteral("_PostgreSQL"))).toStdString();
});

} // namespace
} // namespace vorel::sql
