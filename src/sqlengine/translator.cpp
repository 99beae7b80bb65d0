#include "sqlengine/translator.h"

#include "sqlengine/batchparser.h"

// The batch parser is in batchparser.cpp, the rewrites of one statement in the files that
// statementrewriter.h lists.

namespace vorel::sql {

Program translate(const QString &batch, BackendKind backend, const Catalog &catalog)
{
    const QList<Token> tokens = tokenize(batch);
    if (tokens.isEmpty())
        throw TranslationError(QStringLiteral("The batch is empty."));
    return detail::parseBatch(tokens, backend, catalog);
}

namespace {

void describeNodes(const std::vector<Node> &nodes, int depth, QStringList &lines)
{
    const QString indent(depth * 2, u' ');
    auto text = [](const QString &sql) { return QString(sql).replace(NowMarker, QStringLiteral("<now>")); };
    for (const Node &node : nodes) {
        switch (node.kind) {
        case Node::Kind::Statement:
            lines << indent + text(node.sql);
            break;
        case Node::Kind::If:
            lines << indent + QStringLiteral("if ") + text(node.sql);
            describeNodes({node.children.at(0)}, depth + 1, lines);
            if (node.children.size() > 1) {
                lines << indent + QStringLiteral("else");
                describeNodes({node.children.at(1)}, depth + 1, lines);
            }
            break;
        case Node::Kind::Block:
            lines << indent + QStringLiteral("begin");
            describeNodes(node.children, depth + 1, lines);
            lines << indent + QStringLiteral("end");
            break;
        case Node::Kind::RaisError:
            lines << indent + QStringLiteral("raiserror %1 %2").arg(node.severity).arg(node.message);
            break;
        case Node::Kind::Noop:
            lines << indent + QStringLiteral("nothing");
            break;
        }
    }
}

} // namespace

QString describe(const Program &program)
{
    QStringList lines;
    describeNodes(program.nodes, 0, lines);
    return lines.join(u'\n');
}

std::shared_ptr<const Program> TranslationCache::get(const QString &batch, BackendKind backend, const Catalog &catalog)
{
    const QString key = (backend == BackendKind::SQLite ? QStringLiteral("S:") : QStringLiteral("P:")) + batch;
    {
        std::lock_guard lock(mutex_);
        const auto it = entries_.constFind(key);
        if (it != entries_.constEnd())
            return *it;
    }
    auto program = std::make_shared<const Program>(translate(batch, backend, catalog));
    std::lock_guard lock(mutex_);
    if (entries_.size() >= capacity_)
        entries_.clear();
    entries_.insert(key, program);
    return program;
}

void TranslationCache::clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

int TranslationCache::size() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(entries_.size());
}

} // namespace vorel::sql
