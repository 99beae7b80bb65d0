#pragma once
// A calculator that counts the requests to open it and answers as told.

#include "app/calculator.h"

namespace vorel {

class FakeCalculator final : public Calculator {
public:
    bool open() override
    {
        ++opens_;
        return available_;
    }
    int opens() const { return opens_; }
    void setAvailable(bool available) { available_ = available; }

private:
    int opens_ = 0;
    bool available_ = true;
};

} // namespace vorel
