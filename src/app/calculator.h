#pragma once
// Ctrl+H on the sales screen opens a calculator beside the till. The desktop's own
// calculator is used; the till starts at most one and leaves it alone while it runs.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vorel {

class Calculator {
public:
    virtual ~Calculator() = default;
    // Makes sure a calculator is open. True when one runs or was started; false when none
    // could be found or started.
    virtual bool open() = 0;
};

class DesktopCalculator final : public Calculator {
public:
    // Programs tried in this order; the first found on the PATH is started.
    static QStringList defaultPrograms();

    explicit DesktopCalculator(QStringList programs = defaultPrograms());
    DesktopCalculator(const DesktopCalculator &) = delete;
    DesktopCalculator &operator=(const DesktopCalculator &) = delete;
    // A calculator still open goes with the till.
    ~DesktopCalculator() override;

    bool open() override;
    // The calculator this till started is still running.
    bool isRunning();
    // Full path of the calculator that would be started now; empty when none is found.
    QString findProgram() const;

private:
    QStringList programs_;
    QProcess process_;
};

} // namespace vorel
