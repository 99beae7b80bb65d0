#include "sqlengine/engine.h"

#include <thread>

#include "core/shopservice.h"

#include "sqlengine/parameters.h"
#include "sqlengine/translator.h"

namespace vorel::sql {

namespace {

// Control flow of a running batch: a RAISERROR above severity 10 stops it.
struct Raised {
    QString message;
};

// A database error as the till expects to read it. A duplicate key names the key the
// way the shop's clients test for it ("PK_D712"); a lock that outlasted the retries is
// a refusal the till keeps online for, never the database's own text.
QString phrase(const DbError &e)
{
    if (e.kind == DbError::Kind::Busy)
        return BusyReply;
    if (e.kind == DbError::Kind::Timeout)
        return TimeoutReply;
    if (e.kind == DbError::Kind::DuplicateKey) {
        QString table = e.table.toUpper();
        QString constraint = e.constraint.toUpper();
        if (constraint.isEmpty() && !table.isEmpty())
            constraint = QStringLiteral("PK_") + table;
        const bool primary = constraint.startsWith(QLatin1String("PK_"));
        return QStringLiteral("Violation of %1 constraint '%2'. Cannot insert duplicate key in object 'dbo.%3'.")
            .arg(primary ? QStringLiteral("PRIMARY KEY") : QStringLiteral("UNIQUE KEY"), constraint, table);
    }
    return e.message();
}

BatchResult failed(const DbError &e)
{
    BatchResult result;
    result.reply = phrase(e);
    result.databaseText = e.kind == DbError::Kind::Other || e.kind == DbError::Kind::ConnectionLost;
    return result;
}

} // namespace

Engine::Engine(Backend &backend, const Clock &clock, std::shared_ptr<TranslationCache> cache)
    : backend_(backend), clock_(clock),
      cache_(cache ? std::move(cache) : std::make_shared<TranslationCache>())
{
}

Engine::~Engine() = default;

void Engine::reloadCatalog()
{
    catalog_ = std::make_shared<const Catalog>(backend_.loadCatalog());
    cache_->clear();
}

QString Engine::explain(const QString &batch)
{
    if (!catalog_)
        catalog_ = std::make_shared<const Catalog>(backend_.loadCatalog());
    return describe(translate(batch, backend_.kind(), *catalog_));
}

namespace {

class Runner {
public:
    Runner(Backend &backend, const QList<Literal> &literals, const QDateTime &now)
        : backend_(backend), literals_(literals), now_(now)
    {
    }

    void run(const std::vector<Node> &nodes, BatchResult &result)
    {
        for (const Node &node : nodes)
            run(node, result);
    }

    // Every value converts before the first statement runs, so a bad one fails the batch
    // as a whole, as its translation would have.
    void checkValues(const std::vector<Node> &nodes) const
    {
        for (const Node &node : nodes) {
            for (const Param &p : node.params)
                if (p.source == Param::Source::NumberOf)
                    detail::numberFromString(literals_.at(p.slot).text, p.target);
            checkValues(node.children);
        }
    }

private:
    Backend &backend_;
    const QList<Literal> &literals_;
    const QDateTime now_;

    bool execute(const Node &node, ResultSet *rows)
    {
        if (node.params.empty())
            return backend_.execute(node.sql, rows);
        return backend_.execute(node.sql, boundValues(node, literals_, backend_.kind(), now_), rows);
    }

    void run(const Node &node, BatchResult &result)
    {
        switch (node.kind) {
        case Node::Kind::Statement: {
            ResultSet rows;
            if (execute(node, node.returnsRows ? &rows : nullptr)) {
                if (node.spellings)
                    respell(rows, *node.spellings);
                result.rows = std::move(rows);
                result.hasRows = true;
            }
            break;
        }
        case Node::Kind::If: {
            ResultSet cond;
            execute(node, &cond);
            const bool holds = cond.first() && cond.field(0).asInt() == 1;
            if (holds)
                run(node.children.at(0), result);
            else if (node.children.size() > 1)
                run(node.children.at(1), result);
            break;
        }
        case Node::Kind::Block:
            run(node.children, result);
            break;
        case Node::Kind::RaisError:
            if (node.severity > 10)
                throw Raised{node.message};
            break;
        case Node::Kind::Noop:
            break;
        }
    }

    // Result columns in the case the query wrote them (PostgreSQL folds them to lower case).
    void respell(ResultSet &rows, const QHash<QString, QString> &spellings) const
    {
        for (int c = 0; c < rows.columnCount(); ++c) {
            const QString name = rows.column(c).name;
            const auto it = spellings.constFind(name.toLower());
            if (it != spellings.constEnd() && *it != name)
                rows.renameColumn(c, *it);
        }
    }
};

} // namespace

BatchResult Engine::run(const QString &batch, const BatchShape *shape)
{
    BatchResult result;
    Translation translation;
    const QDateTime now = clock_.now();
    try {
        if (!catalog_)
            catalog_ = std::make_shared<const Catalog>(backend_.loadCatalog());
        translation = cache_->get(batch, backend_.kind(), *catalog_, shape);
        Runner(backend_, translation.literals, now).checkValues(translation.program->nodes);
    } catch (const TranslationError &e) {
        result.reply = e.message();
        return result;
    } catch (const DbError &e) {
        return failed(e);
    }
    const Program &program = *translation.program;

    constexpr int attempts = 3;
    for (int attempt = 1;; ++attempt) {
        result = BatchResult{};
        try {
            backend_.begin(program.writes);
            Runner(backend_, translation.literals, now).run(program.nodes, result);
            backend_.commit();
            result.reply = ReplyOk;
            return result;
        } catch (const Raised &r) {
            backend_.rollback();
            return BatchResult{r.message};
        } catch (const DbError &e) {
            backend_.rollback();
            if (e.kind == DbError::Kind::Busy && attempt < attempts) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
                continue;
            }
            return failed(e);
        }
    }
}

bool Engine::query(const QString &batch, ResultSet &out, QString *error)
{
    BatchResult r = run(batch);
    if (!r.ok()) {
        if (error)
            *error = r.reply;
        out = ResultSet();
        return false;
    }
    out = r.hasRows ? std::move(r.rows) : ResultSet();
    return true;
}

} // namespace vorel::sql
