#pragma once
// The choice between several items a lookup found. The sales screen shows its picker dialog;
// tests answer from a script.

#include "core/resultset.h"

namespace vorel {

class ItemPicker {
public:
    virtual ~ItemPicker() = default;
    // Shows the rows of a lookup. True when the cashier took one: it is then the current row
    // of `rows`. The picker may change the filter of `rows`, and the change stays.
    virtual bool pick(ResultSet &rows) = 0;
};

} // namespace vorel
