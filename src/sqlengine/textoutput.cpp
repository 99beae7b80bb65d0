#include "sqlengine/textoutput.h"

#include <QStringList>

namespace vorel::sql {

QString formatBatchText(const BatchResult &result)
{
    QStringList lines{result.reply};
    if (result.ok() && result.hasRows) {
        const ResultSet &rows = result.rows;
        QStringList header;
        for (const Column &c : rows.columns())
            header << c.name;
        lines << header.join(u'\t');
        for (int r = 0; r < rows.totalRowCount(); ++r) {
            QStringList values;
            for (int c = 0; c < rows.columnCount(); ++c) {
                const Field f = rows.fieldAt(r, c);
                QString text = f.isNull() ? QString() : f.asString();
                // A value never breaks the line layout.
                text.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
                values << text;
            }
            lines << values.join(u'\t');
        }
    }
    return lines.join(u'\n') + u'\n';
}

} // namespace vorel::sql
