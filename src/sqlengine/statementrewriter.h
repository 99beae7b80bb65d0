#pragma once
// Rewrites one T-SQL statement (or an IF condition) into a backend's dialect.
//
// The rewrites do not build a syntax tree. They look at the statement's tokens, plan edits
// (a token range and what replaces it) and then render the tokens with the edits applied.
// Each family of rewrites lives in a file of its own:
//   statementrewriter.cpp    scope (tables and aliases) and moving over the tokens
//   operandtypes.cpp         what an operand is and which type it has
//   toplimit.cpp             SELECT TOP n -> ... LIMIT n
//   datearithmetic.cpp       getdate(), date + days
//   implicitconversions.cpp  text and numbers meeting in operators, text + text
//   insertupdate.cpp         values stored by INSERT ... VALUES and UPDATE ... SET [FROM]
//   joinequivalences.cpp     WHERE comparisons moved to the first of inner-joined columns
//   pushdown.cpp             the outer filter of UPDATE ... FROM (grouped select) into it
//   statementrender.cpp      the tokens written out with the edits applied
// Backend spellings are chosen in dialect.cpp.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

#include "sqlengine/backend.h"
#include "sqlengine/sqlwords.h"
#include "sqlengine/tokenizer.h"

namespace vorel::sql::detail {

// Tokens [begin, end) of the statement.
struct TokenSpan {
    int begin = -1;
    int end = -1; // exclusive
    bool valid() const { return begin >= 0 && end > begin; }
    int size() const { return end - begin; }
};

// What an operand is, as far as rewriting by type needs to know.
struct OperandType {
    SqlType type = SqlType::Unknown;
    bool stringLiteral = false;
    bool numberLiteral = false;
    bool integerLiteral = false;
    bool null = false;
    bool numericLike() const { return numberLiteral || isNumeric(type); }
    bool textColumn() const { return type == SqlType::Text && !stringLiteral; }
};

class StatementRewriter {
public:
    // The statement is tokens [begin, end). Plans every rewrite; throws TranslationError.
    StatementRewriter(const QList<Token> &tokens, int begin, int end, BackendKind backend, const Catalog &catalog);

    // The statement in the backend's dialect.
    QString sql();

    // Tables and views the statement names, lower case, in order of appearance.
    const QStringList &tables() const { return tables_; }

private:
    enum class EditKind {
        TopLimit,    // SELECT [DISTINCT] TOP n body -> SELECT [DISTINCT] body LIMIT n
        DateAdd,     // date +/- days
        Concat,      // the '+' joining two texts
        CastNumeric, // a text operand cast to a number
        Replace,     // the tokens replaced by `replacement`
        DropTokens,  // the tokens left out
        PushDown,    // GROUP of a derived table -> [WHERE | ) AND] key IN (SELECT ...) GROUP
    };
    struct Edit {
        EditKind kind;
        int begin;
        int end; // exclusive
        // TopLimit
        QString limit;
        bool distinct = false;
        int bodyStart = 0;
        bool wrapInSubquery = false; // a compound select: the limited part goes in parentheses
        // DateAdd
        TokenSpan date, days;
        bool minus = false;
        // CastNumeric
        QString castType;
        // Replace
        QString replacement;
        // PushDown: the grouped key, the target's column it is joined to, the target table
        // and the filters on the target alone; afterWhere when the derived table had a WHERE
        TokenSpan key, joined, table;
        std::vector<TokenSpan> filters;
        bool afterWhere = false;
    };

    const QList<Token> &tokens_;
    const int begin_;
    const int end_;
    const BackendKind backend_;
    const Catalog &catalog_;
    QHash<QString, QString> aliases_; // lower alias or table -> lower table ("" = derived)
    QStringList tables_;               // lower table names in order of appearance
    std::multimap<int, Edit> edits_;   // by the first token they replace
    int subqueryCounter_ = 0;          // names the subqueries TOP wraps

    void addEdit(Edit edit) { edits_.emplace(edit.begin, std::move(edit)); }

    // statementrewriter.cpp: moving over the tokens, scope
    int matchParen(int open) const;
    int matchParenBack(int close) const;
    bool isName(int i) const;
    // The table named at token j ("schema.table" gives "table"); j moves past the name.
    // Empty when no name stands there.
    QString tableNameAt(int &j) const;
    int depthAt(int i) const;
    void buildScope();
    SqlType columnType(const QString &qualifier, const QString &column) const;

    // operandtypes.cpp
    TokenSpan operandBefore(int op) const;
    TokenSpan operandAfter(int op) const;
    OperandType typeOf(TokenSpan operand) const;
    OperandType innerOperandType(int open, int close) const;

    // toplimit.cpp
    void planTopAsLimit();
    QString renderTopLimit(const Edit &edit);

    // datearithmetic.cpp
    bool planDateArithmetic(TokenSpan left, const QString &op, TokenSpan right, const OperandType &leftType,
                            const OperandType &rightType);
    void planStoredDate(TokenSpan value);
    QString renderDateAdd(const Edit &edit);
    bool isNowCall(int i, int end) const;

    // implicitconversions.cpp
    void planOperators();
    void planCast(TokenSpan operand, const OperandType &other);
    void planNumberLiteral(TokenSpan value, SqlType target);
    void planStoredLiteral(TokenSpan value, SqlType target);

    // insertupdate.cpp
    void planInsertValues();
    void planUpdateSet();
    bool inUpdateSetList(int i) const;

    // joinequivalences.cpp
    void planJoinEquivalences();
    void planJoinEquivalencesOf(int from);
    QString columnKey(TokenSpan column) const;

    // pushdown.cpp
    void planPushDown();
    QString renderPushDown(const Edit &edit);
    std::vector<TokenSpan> splitAtDepth(int begin, int end, const std::function<bool(const Token &)> &separator) const;
    bool sameTokens(TokenSpan a, TokenSpan b) const;

    // statementrender.cpp
    // Adds `piece` to `out`, after a blank unless `glueLeft` or `out` ends in '(', '.' or ' '.
    static void append(QString &out, const QString &piece, bool glueLeft = false);
    QString render(int begin, int end, const Edit *self);
    QString renderEdit(const Edit &edit);
    const Edit *editAt(int i, int end, const Edit *self) const;
};

} // namespace vorel::sql::detail
