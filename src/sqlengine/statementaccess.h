#pragma once
// What a batch would do to the database: its statements, and for each the tables it reads
// and writes, the columns it names and the functions it calls. The batch is split exactly as
// the engine splits it before running it, and only the parts the engine sends to the
// database are read (RAISERROR, PRINT and "select @x = ..." never reach it). Touches no
// database: the shop service reads a till's batch through this before letting it run.

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

#include "sqlengine/tokenizer.h"

namespace vorel::sql {

struct ColumnUse {
    enum class Kind {
        Read,       // in a select list or an expression
        Compared,   // column = 'literal' or number: a filter
        Assigned,   // UPDATE ... SET column = ...
        Inserted,   // INSERT INTO t (column, ...)
        AllColumns, // *, t.*, or the table's row taken as one value
    };
    Kind kind = Kind::Read;
    QString table;  // lower case, aliases resolved; empty when the column is not qualified
                    // and the statement names more than one table
    QString column; // lower case; empty for AllColumns
    int at = 0;     // the column's token in the batch
    // Compared and Assigned: the literal on the other side when it is one.
    bool literal = false;
    QString value;
};

struct StatementAccess {
    enum class Kind { Select, Insert, Update, Delete, Condition, Other };
    Kind kind = Kind::Other;
    QString verb;           // the first word, upper case (for Condition: IF)
    int begin = 0;          // tokens [begin, end) of the batch
    int end = 0;
    QString target;         // Insert, Update, Delete: the table written, lower case
    QStringList tables;     // tables and views read or written, lower case, each once
    bool schemaQualified = false; // some table was named with a schema or database before it
    QStringList functions;  // functions called, lower case, each once
    QStringList names;      // every name the statement mentions, lower case, each once
    std::vector<ColumnUse> columns;
    bool selectInto = false; // INTO anywhere but right after INSERT: a new table on PostgreSQL
    bool hasOr = false;      // an OR anywhere in it
    bool hasFrom = false;    // a FROM anywhere in it (UPDATE ... FROM, subqueries)
    bool renamesColumns = false; // a table's columns given other names ("u (a, b)")
    bool reusesAliases = false;  // one name stands for two tables in different selects
};

class BatchAccess {
public:
    // Throws TranslationError where the engine would refuse the batch's text as well.
    explicit BatchAccess(const QString &batch);

    const QList<Token> &tokens() const { return tokens_; }
    const std::vector<StatementAccess> &statements() const { return statements_; }
    // The statement's tokens again as one line of text (names and keywords upper case,
    // literals as written), to compare it with a statement the service knows.
    QString normalized(const StatementAccess &statement) const;

private:
    QList<Token> tokens_;
    std::vector<StatementAccess> statements_;
};

} // namespace vorel::sql
