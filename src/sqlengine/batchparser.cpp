#include "sqlengine/batchparser.h"

#include <QRegularExpression>
#include <functional>

#include "sqlengine/sqlwords.h"
#include "sqlengine/statementrewriter.h"

namespace vorel::sql::detail {

namespace {

bool anyWrites(const std::vector<Node> &nodes)
{
    for (const Node &node : nodes)
        if (node.writes || anyWrites(node.children))
            return true;
    return false;
}

class BatchParser {
public:
    BatchParser(const QList<Token> &tokens, BackendKind backend, const Catalog &catalog,
                std::vector<StatementSpan> *spans = nullptr)
        : tokens_(tokens), backend_(backend), catalog_(catalog), spans_(spans)
    {
    }

    Program parse()
    {
        Program program;
        while (skipSemicolons())
            program.nodes.push_back(statement());
        program.writes = anyWrites(program.nodes);
        return program;
    }

private:
    const QList<Token> &tokens_;
    const BackendKind backend_;
    const Catalog &catalog_;
    std::vector<StatementSpan> *spans_; // set: only split, nothing is rewritten
    int pos_ = 0;   // the next token to read
    int depth_ = 0; // statements open around the one being read

    // Counts one level of nesting for as long as it lives.
    class Nested {
    public:
        explicit Nested(int &depth) : depth_(depth)
        {
            if (++depth_ > MaxNesting)
                throw TranslationError(TooDeepMessage);
        }
        ~Nested() { --depth_; }
        Nested(const Nested &) = delete;
        Nested &operator=(const Nested &) = delete;

    private:
        int &depth_;
    };

    int count() const { return static_cast<int>(tokens_.size()); }

    // Moves past semicolons; false at the end of the batch.
    bool skipSemicolons()
    {
        while (pos_ < count() && tokens_[pos_].is(TokenKind::Semicolon))
            ++pos_;
        return pos_ < count();
    }

    [[noreturn]] void syntaxError(int at) const
    {
        if (at >= count())
            throw TranslationError(QStringLiteral("Incorrect syntax near the end of the batch."));
        throw TranslationError(QStringLiteral("Incorrect syntax near '%1'.").arg(tokens_[at].text));
    }

    Node statement()
    {
        if (!skipSemicolons())
            syntaxError(pos_);
        const Nested level(depth_);
        const Token &first = tokens_[pos_];
        if (first.isWord("IF"))
            return ifStatement();
        if (first.isWord("BEGIN"))
            return beginStatement();
        if (first.isWord("COMMIT")) {
            ++pos_;
            if (pos_ < count() && (tokens_[pos_].isWord("TRAN") || tokens_[pos_].isWord("TRANSACTION")))
                ++pos_;
            return Node{Node::Kind::Noop};
        }
        if (first.isWord("RAISERROR"))
            return raisError();
        if (first.isWord("PRINT")) {
            ++pos_;
            collectExpression(); // shown nowhere
            return Node{Node::Kind::Noop};
        }
        if (first.isWord("SELECT") || first.isWord("INSERT") || first.isWord("UPDATE") || first.isWord("DELETE")
            || first.isWord("CREATE") || first.isWord("DROP") || first.isWord("ALTER") || first.isWord("WITH"))
            return plain();
        syntaxError(pos_);
    }

    // BEGIN TRAN(SACTION) or a BEGIN ... END block.
    Node beginStatement()
    {
        if (pos_ + 1 < count() && (tokens_[pos_ + 1].isWord("TRAN") || tokens_[pos_ + 1].isWord("TRANSACTION"))) {
            pos_ += 2; // the batch is one transaction already
            return Node{Node::Kind::Noop};
        }
        ++pos_;
        Node block{Node::Kind::Block};
        while (true) {
            if (!skipSemicolons())
                throw TranslationError(QStringLiteral("Incorrect syntax: BEGIN without END."));
            if (tokens_[pos_].isWord("END")) {
                ++pos_;
                break;
            }
            block.children.push_back(statement());
        }
        return block;
    }

    Node ifStatement()
    {
        ++pos_; // IF
        const int conditionStart = pos_;
        const int conditionEnd = collectExpression();
        if (conditionEnd == conditionStart)
            syntaxError(conditionStart);
        Node node{Node::Kind::If};
        if (spans_)
            spans_->push_back({StatementSpan::Kind::Condition, conditionStart, conditionEnd});
        else {
            StatementRewriter condition(tokens_, conditionStart, conditionEnd, backend_, catalog_);
            node.sql = QStringLiteral("SELECT CASE WHEN %1 THEN 1 ELSE 0 END").arg(condition.sql());
        }
        if (!skipSemicolons())
            throw TranslationError(QStringLiteral("Incorrect syntax: IF without a statement."));
        node.children.push_back(statement());
        // ELSE may follow a semicolon.
        int next = pos_;
        while (next < count() && tokens_[next].is(TokenKind::Semicolon))
            ++next;
        if (next < count() && tokens_[next].isWord("ELSE")) {
            pos_ = next + 1;
            node.children.push_back(statement());
        }
        return node;
    }

    // Moves to the end of a statement or an IF condition: the first ";" or the first word
    // for which `stopsAt` says so, outside parentheses and CASE ... END. Returns that place.
    int scanToEnd(const std::function<bool(const Token &)> &stopsAt)
    {
        int depth = 0;
        int cases = 0;
        while (pos_ < count()) {
            const Token &token = tokens_[pos_];
            if (token.is(TokenKind::LParen)) {
                if (++depth > MaxNesting)
                    throw TranslationError(TooDeepMessage);
            } else if (token.is(TokenKind::RParen)) {
                if (--depth < 0)
                    syntaxError(pos_);
            } else if (token.isWord("CASE"))
                ++cases;
            else if (token.isWord("END") && cases > 0)
                --cases;
            else if (depth == 0 && (token.is(TokenKind::Semicolon) || (cases == 0 && stopsAt(token))))
                break;
            ++pos_;
        }
        if (depth != 0)
            throw TranslationError(QStringLiteral("Incorrect syntax: missing ')'."));
        return pos_;
    }

    // Tokens of an IF condition or PRINT argument: up to the next statement.
    int collectExpression()
    {
        return scanToEnd([](const Token &token) { return isStatementStart(token); });
    }

    // RAISERROR ('message', severity, state [, argument ...]) [WITH option [, option ...]]
    Node raisError()
    {
        const int at = pos_;
        ++pos_;
        if (pos_ >= count() || !tokens_[pos_].is(TokenKind::LParen))
            syntaxError(at);
        const int open = pos_;
        int depth = 0;
        int close = -1;
        for (int j = open; j < count(); ++j) {
            if (tokens_[j].is(TokenKind::LParen))
                ++depth;
            else if (tokens_[j].is(TokenKind::RParen) && --depth == 0) {
                close = j;
                break;
            }
        }
        if (close < 0 || open + 1 >= close || !tokens_[open + 1].is(TokenKind::String))
            syntaxError(at);
        Node node{Node::Kind::RaisError};
        node.message = tokens_[open + 1].text;
        int j = open + 2;
        if (j < close && tokens_[j].is(TokenKind::Comma)) {
            ++j;
            bool negative = false;
            if (j < close && tokens_[j].isOp("-")) {
                negative = true;
                ++j;
            }
            if (j < close && tokens_[j].is(TokenKind::Number))
                node.severity = (negative ? -1 : 1) * tokens_[j].text.toInt();
        }
        // Arguments filling %s / %d in the message.
        QStringList arguments;
        int commas = 0;
        for (int k = open + 1; k < close; ++k) {
            if (tokens_[k].is(TokenKind::Comma)) {
                ++commas;
                continue;
            }
            if (commas >= 3 && (tokens_[k].is(TokenKind::String) || tokens_[k].is(TokenKind::Number)))
                arguments.append(tokens_[k].text);
        }
        for (const QString &argument : arguments) {
            const int p = static_cast<int>(node.message.indexOf(QRegularExpression(QStringLiteral("%[sdi]"))));
            if (p < 0)
                break;
            node.message.replace(p, 2, argument);
        }
        pos_ = close + 1;
        if (pos_ < count() && tokens_[pos_].isWord("WITH")) {
            pos_ += 1;
            while (pos_ < count() && tokens_[pos_].is(TokenKind::Word) && !isStatementStart(tokens_[pos_])) {
                ++pos_;
                if (pos_ < count() && tokens_[pos_].is(TokenKind::Comma))
                    ++pos_;
                else
                    break;
            }
        }
        return node;
    }

    // SELECT, INSERT, UPDATE, DELETE, WITH and the schema statements.
    Node plain()
    {
        const int start = pos_;
        const bool insert = tokens_[start].isWord("INSERT");
        bool insertBody = false;
        ++pos_;
        // A SELECT goes on the statement after UNION / ALL, and as the body of an INSERT.
        scanToEnd([&](const Token &token) {
            if (insert && token.isWord("VALUES"))
                insertBody = true;
            if (!isStatementStart(token))
                return false;
            const Token &previous = tokens_[pos_ - 1];
            const bool continues =
                token.isWord("SELECT") && (isCompoundWord(previous) || previous.isWord("ALL") || (insert && !insertBody));
            if (continues && insert)
                insertBody = true;
            return !continues;
        });
        const int end = pos_;
        if (pos_ < count() && tokens_[pos_].is(TokenKind::Semicolon))
            ++pos_;

        // "select @x = ..." assigns a variable nobody declared: nothing to do.
        if (tokens_[start].isWord("SELECT") && start + 2 < end && tokens_[start + 1].is(TokenKind::Variable)
            && tokens_[start + 2].isOp("="))
            return Node{Node::Kind::Noop};

        Node node{Node::Kind::Statement};
        node.returnsRows = tokens_[start].isWord("SELECT") || tokens_[start].isWord("WITH");
        node.writes = !node.returnsRows;
        if (spans_) {
            spans_->push_back({StatementSpan::Kind::Statement, start, end});
            return node;
        }
        StatementRewriter rewriter(tokens_, start, end, backend_, catalog_);
        node.sql = rewriter.sql();
        if (node.returnsRows)
            node.spellings = resultSpellings(start, end, rewriter.tables());
        return node;
    }

    // Lower-case name -> the spelling the query used, to give result columns back in the
    // case the query wrote them.
    std::shared_ptr<const QHash<QString, QString>> resultSpellings(int start, int end, const QStringList &tables) const
    {
        auto spellings = std::make_shared<QHash<QString, QString>>();
        for (int k = start; k < end; ++k)
            if (tokens_[k].is(TokenKind::Word) || tokens_[k].is(TokenKind::QuotedName))
                if (!spellings->contains(tokens_[k].text.toLower()))
                    spellings->insert(tokens_[k].text.toLower(), tokens_[k].text);
        // Columns the query does not name ("SELECT *") come back as the schema spells
        // them. PostgreSQL folds unquoted names, and the shop schema's are upper case.
        for (const QString &table : tables)
            if (const QList<CatalogColumn> *columns = catalog_.columns(table))
                for (const CatalogColumn &column : *columns)
                    if (!spellings->contains(column.name.toLower()))
                        spellings->insert(column.name.toLower(), column.name == column.name.toLower() ? column.name.toUpper() : column.name);
        return spellings;
    }
};

} // namespace

Program parseBatch(const QList<Token> &tokens, BackendKind backend, const Catalog &catalog)
{
    BatchParser parser(tokens, backend, catalog);
    return parser.parse();
}

std::vector<StatementSpan> splitBatch(const QList<Token> &tokens)
{
    const Catalog none;
    std::vector<StatementSpan> spans;
    BatchParser parser(tokens, BackendKind::SQLite, none, &spans);
    parser.parse();
    return spans;
}

} // namespace vorel::sql::detail
