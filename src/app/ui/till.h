#pragma once
// The till put together: the sales screen, the dialogs the session asks the cashier through
// and the till controller that owns the session's parts. main(), the tests and the
// benchmarks make one of these and log in.

#include <memory>

#include "app/tillcontroller.h"
#include "app/ui/saleswindow.h"
#include "app/ui/scenariohost.h"

namespace vorel {

class Till final : public ScenarioHost {
public:
    explicit Till(const TillParts &parts);
    ~Till() override;
    Till(const Till &) = delete;
    Till &operator=(const Till &) = delete;

    SalesWindow &window() { return *form_; }
    TillController &controller() { return *controller_; }

    // ---- what a scenario sees of the till
    QWidget *screen() override { return form_.get(); }
    QList<std::pair<QString, QString>> screenLabels() override;
    QList<QList<std::pair<QString, QString>>> gridRows() override;
    bool offline() const override;
    void advanceTime(int seconds) override;

private:
    std::unique_ptr<SalesWindow> form_;
    std::unique_ptr<TillController> controller_;
};

} // namespace vorel
