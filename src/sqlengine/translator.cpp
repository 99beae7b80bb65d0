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

bool TranslationCache::quickGet(const QString &roughKey, const QList<Literal> &all, Translation &out)
{
    const auto it = roughIndex_.constFind(roughKey);
    if (it == roughIndex_.constEnd())
        return false;
    const Entry &entry = **it;
    if (entry.places.size() != static_cast<size_t>(all.size()))
        return false;
    int kept = 0;
    for (size_t i = 0; i < entry.places.size(); ++i)
        if (entry.places[i] < 0 && entry.kept.at(kept++) != all[static_cast<qsizetype>(i)].text)
            return false;
    out.literals.reserve(all.size() - kept);
    for (size_t i = 0; i < entry.places.size(); ++i)
        if (entry.places[i] >= 0)
            out.literals.append(all[static_cast<qsizetype>(i)]);
    out.program = entry.program;
    lru_.splice(lru_.begin(), lru_, *it);
    return true;
}

Translation TranslationCache::get(const QString &batch, BackendKind backend, const Catalog &catalog, const BatchShape *shape)
{
    const QChar prefix = backend == BackendKind::SQLite ? u'S' : u'P';
    Translation translation;
    BatchShape rough = shape ? *shape : readShape(batch);
    const bool readRoughly = rough.readable;
    if (readRoughly) {
        rough.key.prepend(prefix);
        std::lock_guard lock(mutex_);
        if (quickGet(rough.key, rough.literals, translation))
            return translation;
    }

    QList<Token> tokens = tokenize(batch);
    if (tokens.isEmpty())
        throw TranslationError(QStringLiteral("The batch is empty."));
    const QString key = prefix + detail::parameterise(tokens, translation.literals);
    // The quick way in, when the rough reading found the literals the tokens hold.
    std::vector<int> places;
    QStringList kept;
    if (readRoughly) {
        qsizetype next = 0;
        for (const Token &t : tokens) {
            if (!t.is(TokenKind::String) && !t.is(TokenKind::Number))
                continue;
            if (next >= rough.literals.size() || rough.literals[next].text != t.text
                || rough.literals[next].string != t.is(TokenKind::String)) {
                next = -1;
                break;
            }
            ++next;
            places.push_back(t.slot);
            if (t.slot < 0)
                kept << t.text;
        }
        if (next != rough.literals.size())
            places.clear(), kept.clear(), rough.key.clear();
    }
    const auto remember = [&](Iterator it) {
        if (rough.key.isEmpty() || !it->roughKey.isEmpty())
            return;
        it->roughKey = rough.key;
        it->places = std::move(places);
        it->kept = std::move(kept);
        it->bytes += 2 * it->roughKey.size() + static_cast<qint64>(it->places.size() * sizeof(int));
        bytes_ += 2 * it->roughKey.size() + static_cast<qint64>(it->places.size() * sizeof(int));
        roughIndex_.insert(it->roughKey, it);
    };
    {
        std::lock_guard lock(mutex_);
        const auto it = index_.constFind(key);
        if (it != index_.constEnd()) {
            lru_.splice(lru_.begin(), lru_, *it);
            translation.program = (*it)->program;
            if (!rough.key.isEmpty() && (*it)->roughKey == rough.key)
                roughIndex_.insert(rough.key, *it); // this one's kept literals are the latest
            return translation;
        }
    }
    auto program = std::make_shared<Program>(detail::parseBatch(tokens, backend, catalog));
    // A batch with a literal holding a marker's character binds none of its literals.
    detail::placePlaceholders(*program, backend, !translation.literals.isEmpty());
    const qint64 bytes = 2 * key.size() + 64 + bytesOf(program->nodes);
    translation.program = program;
    std::lock_guard lock(mutex_);
    if (index_.contains(key)) // another thread was quicker
        return translation;
    lru_.push_front(Entry{key, std::move(program), bytes, {}, {}, {}});
    index_.insert(key, lru_.begin());
    bytes_ += bytes;
    remember(lru_.begin());
    while (bytes_ > maxBytes_ && lru_.size() > 1) {
        const Entry &last = lru_.back();
        bytes_ -= last.bytes;
        index_.remove(last.key);
        const auto rough = roughIndex_.constFind(last.roughKey);
        if (rough != roughIndex_.constEnd() && &**rough == &last)
            roughIndex_.erase(rough);
        lru_.pop_back();
    }
    return translation;
}

void TranslationCache::clear()
{
    std::lock_guard lock(mutex_);
    index_.clear();
    roughIndex_.clear();
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
