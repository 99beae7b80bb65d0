#pragma once
// The customer's pole display: one value at a time, with one of its four indicator lamps
// lit. The sales screen shows the running total, the commit shows the change; the settings
// dialog's display test lights all four. The serial implementation turns a call into the
// display's byte message.

#include <QString>

namespace vorel {

class CustomerDisplay {
public:
    // The lamp codes the display understands, "1" to "4".
    enum class Indicator : char {
        Price = '1',    // 单价
        Total = '2',    // 总计
        Received = '3', // 收款
        Change = '4',   // 找零
    };

    virtual ~CustomerDisplay() = default;

    virtual void show(Indicator indicator, const QString &value) = 0;

    void showPrice(const QString &value) { show(Indicator::Price, value); }
    void showTotal(const QString &value) { show(Indicator::Total, value); }
    void showReceived(const QString &value) { show(Indicator::Received, value); }
    void showChange(const QString &value) { show(Indicator::Change, value); }
};

} // namespace vorel
