#pragma once
// A customer display that keeps every value shown, with its indicator.

#include <QList>
#include <QString>

#include "sales/customerdisplay.h"

namespace vorel {

class RecordingCustomerDisplay : public CustomerDisplay {
public:
    struct Shown {
        Indicator indicator;
        QString value;
        bool operator==(const Shown &) const = default;
    };

    void show(Indicator indicator, const QString &value) override { shown.append({indicator, value}); }

    // The value of the last call, empty when nothing was shown.
    QString lastValue() const { return shown.isEmpty() ? QString() : shown.constLast().value; }

    QList<Shown> shown;
};

} // namespace vorel
