#pragma once
// Turns a T-SQL batch into a small program for one backend: control flow (IF, BEGIN ... END,
// RAISERROR, no-op variable assignments) plus plain statements rewritten into the backend's
// dialect. The whole batch is translated before any of it runs.

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QString>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "sqlengine/backend.h"
#include "sqlengine/tokenizer.h"

namespace vorel::sql {

// Stands in the translated text wherever the batch said getdate(); the engine puts the
// time of the run there.
inline const QString NowMarker = QStringLiteral("\x01NOW\x01");

// A placeholder of a statement and where its value comes from.
struct Param {
    enum class Source : char {
        Literal,  // the batch's literal as written
        NumberOf, // a quoted literal in a numeric place: the number it stands for
        DateOf,   // a quoted literal stored into a date column (SQLite): its full form
        Now,      // getdate(): the time of the run
    };
    Source source = Source::Literal;
    int slot = -1;                      // the literal among the batch's values (not for Now)
    SqlType target = SqlType::Unknown;  // NumberOf: Integer or Decimal
    int at = 0;                         // where the placeholder stands in the statement text
    int length = 0;
};

// A literal the batch wrote where a placeholder now stands.
struct Literal {
    bool string = false; // else a number
    QString text;        // the string's value, or the number as written
};

struct Node {
    enum class Kind { Statement, If, Block, RaisError, Noop };
    Kind kind = Kind::Statement;
    // Statement: backend SQL. If: a query returning one row with 1 when the condition holds.
    QString sql;
    bool returnsRows = false;
    bool writes = false;
    // Statement: lower-case name -> spelling the batch used, to give result columns back in
    // the case the query wrote them.
    std::shared_ptr<const QHash<QString, QString>> spellings;
    // Statement and If: the placeholders of `sql`, in the order they stand.
    std::vector<Param> params;
    // RaisError
    QString message;
    int severity = 0;
    // If: children[0] then, children[1] else (optional). Block: the statements.
    std::vector<Node> children;
};

struct Program {
    std::vector<Node> nodes;
    bool writes = false; // any statement changes data: SQLite takes the write lock up front
};

// How deep blocks, IF branches and parentheses may nest in one batch. The till's own
// batches stay far below it; a deeper batch is refused whole before any of it runs, so
// nothing that walks the parse ever recurses further than this.
inline constexpr int MaxNesting = 100;
inline const QString TooDeepMessage = QStringLiteral("语句嵌套超过%1层,服务器拒绝执行!").arg(MaxNesting);

// A batch's shape, read in one pass without tokens: its text with every string and number
// taken out (their kinds left in) and those values in order. Two batches of one shape hold
// the same statements on the same tables and differ only in their values. The translation
// cache finds a batch by it, and the shop service remembers by it which batches it let run;
// a caller that needs both reads it once. `readable` is false when the text cannot be read
// so (the tokenizer then gives the error).
struct BatchShape {
    QString key;
    QList<Literal> literals;
    bool readable = false;
};
BatchShape readShape(const QString &batch);

// Throws TranslationError with a message for the user. Literals stay in the text.
Program translate(const QString &batch, BackendKind backend, const Catalog &catalog);

// A batch translated with its literals taken out: the program for every batch of the same
// shape, and the values this batch gives its placeholders.
struct Translation {
    std::shared_ptr<const Program> program;
    QList<Literal> literals;
};

// The values of `node`'s placeholders. `now` is the time of the run. Throws TranslationError
// for a quoted value that is no number where a number must stand (as translating the text
// with the value written in would).
std::vector<BoundValue> boundValues(const Node &node, const QList<Literal> &literals, BackendKind backend,
                                    const QDateTime &now);

// The program as text, one line per node, for tests and for `vorel-server explain`.
QString describe(const Program &program);

// Thread-safe cache of translations, keyed by backend and the batch's shape: its text with
// the literals that can be bound taken out, so a lookup by another barcode, slip or member
// finds the same program. Literals that decide the translation (TOP n, sizes of types,
// ORDER BY positions, RAISERROR texts, anything in a select list) stay part of the key.
// Holds at most `maxBytes` of translations and forgets the least recently used first.
class TranslationCache {
public:
    static constexpr qint64 kDefaultBytes = 4 * 1024 * 1024;
    explicit TranslationCache(qint64 maxBytes = kDefaultBytes) : maxBytes_(maxBytes) {}
    // Throws TranslationError. `shape`: the batch's shape when the caller has read it.
    Translation get(const QString &batch, BackendKind backend, const Catalog &catalog, const BatchShape *shape = nullptr);
    void clear();
    int size() const;
    qint64 bytes() const;

private:
    struct Entry {
        QString key;
        std::shared_ptr<const Program> program;
        qint64 bytes = 0;
        // The quick way in: the text with every literal taken out, and per literal its
        // place among the bound values, or -1 for one kept in the key (whose text is in
        // `kept`, in order).
        QString roughKey;
        std::vector<int> places;
        QStringList kept;
    };
    using Iterator = std::list<Entry>::iterator;
    bool quickGet(const QString &roughKey, const QList<Literal> &all, Translation &out);
    mutable std::mutex mutex_;
    std::list<Entry> lru_; // most recently used first
    QHash<QString, Iterator> index_;
    QHash<QString, Iterator> roughIndex_;
    qint64 bytes_ = 0;
    qint64 maxBytes_;
};

} // namespace vorel::sql
