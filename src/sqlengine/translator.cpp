#include "sqlengine/translator.h"

#include "sqlengine/batchparser.h"
#include "sqlengine/parameters.h"

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

namespace {

// What an entry holds, roughly: the texts and the spellings.
qint64 bytesOf(const std::vector<Node> &nodes)
{
    qint64 bytes = 0;
    for (const Node &node : nodes) {
        bytes += sizeof(Node) + 2 * node.sql.size() + 2 * node.message.size()
                 + static_cast<qint64>(node.params.size() * sizeof(Param));
        if (node.spellings)
            for (auto it = node.spellings->constBegin(); it != node.spellings->constEnd(); ++it)
                bytes += 48 + 2 * (it.key().size() + it.value().size());
        bytes += bytesOf(node.children);
    }
    return bytes;
}

} // namespace

Translation TranslationCache::get(const QString &batch, BackendKind backend, const Catalog &catalog)
{
    QList<Token> tokens = tokenize(batch);
    if (tokens.isEmpty())
        throw TranslationError(QStringLiteral("The batch is empty."));
    Translation translation;
    const QString key = (backend == BackendKind::SQLite ? QStringLiteral("S") : QStringLiteral("P"))
                        + detail::parameterise(tokens, translation.literals);
    {
        std::lock_guard lock(mutex_);
        const auto it = index_.constFind(key);
        if (it != index_.constEnd()) {
            lru_.splice(lru_.begin(), lru_, *it);
            translation.program = (*it)->program;
            return translation;
        }
    }
    auto program = std::make_shared<Program>(detail::parseBatch(tokens, backend, catalog));
    detail::placePlaceholders(*program, backend);
    const qint64 bytes = 2 * key.size() + 64 + bytesOf(program->nodes);
    translation.program = program;
    std::lock_guard lock(mutex_);
    if (index_.contains(key)) // another thread was quicker
        return translation;
    lru_.push_front(Entry{key, std::move(program), bytes});
    index_.insert(key, lru_.begin());
    bytes_ += bytes;
    while (bytes_ > maxBytes_ && lru_.size() > 1) {
        bytes_ -= lru_.back().bytes;
        index_.remove(lru_.back().key);
        lru_.pop_back();
    }
    return translation;
}

void TranslationCache::clear()
{
    std::lock_guard lock(mutex_);
    index_.clear();
    lru_.clear();
    bytes_ = 0;
}

int TranslationCache::size() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(lru_.size());
}

qint64 TranslationCache::bytes() const
{
    std::lock_guard lock(mutex_);
    return bytes_;
}

} // namespace vorel::sql
