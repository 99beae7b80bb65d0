#pragma once
// The till put together: the sales screen, the dialogs the session asks the cashier through
// and the till controller that owns the session's parts. main(), the tests and the
// benchmarks make one of these and log in.

#include <memory>

#include "app/tillcontroller.h"
#include "app/ui/mainform.h"

namespace vorel {

class Till {
public:
    explicit Till(const TillParts &parts);
    ~Till();
    Till(const Till &) = delete;
    Till &operator=(const Till &) = delete;

    TMainForm &window() { return *form_; }
    TillController &controller() { return *controller_; }

private:
    std::unique_ptr<TMainForm> form_;
    std::unique_ptr<TillController> controller_;
};

} // namespace vorel
