#pragma once
// A batch's outcome as plain text, the way `vorel-server exec` prints it and the SQL test
// scripts expect it: the reply on the first line ("Y" or the message), then, when rows came
// back, a tab-separated header of column names and one tab-separated line per row (NULL as
// an empty field, decimals without trailing zeros, date-times "YYYY-MM-DD hh:mm:ss").

#include <QString>

#include "sqlengine/engine.h"

namespace vorel::sql {

QString formatBatchText(const BatchResult &result);

} // namespace vorel::sql
