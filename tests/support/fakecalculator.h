#pragma once
// A calculator that counts the requests to open it; it always opens.

#include "app/calculator.h"

namespace vorel {

class FakeCalculator final : public Calculator {
public:
    bool open() override
    {
        ++opens_;
        return true;
    }
    int opens() const { return opens_; }

private:
    int opens_ = 0;
};

} // namespace vorel
