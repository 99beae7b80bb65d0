#pragma once
// The screen side of the error capture: the application whose event delivery hands every
// escaped exception to one handler, the picture of the screen, and the error report
// TFrm_SendMailErr (who, the picture, the error; closed with its button).

#include <QApplication>
#include <QDialog>
#include <functional>

#include "app/errorcapture.h"

namespace vorel {

class TillApplication final : public QApplication {
public:
    TillApplication(int &argc, char **argv) : QApplication(argc, argv) {}

    // The handler of errors that escaped their event (empty: none; the error is dropped).
    void setErrorHandler(std::function<void(std::exception_ptr)> handler) { handler_ = std::move(handler); }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    std::function<void(std::exception_ptr)> handler_;
};

// The primary screen, with the till's windows drawn in when the platform has no desktop.
class DesktopCapture final : public ScreenCapture {
public:
    QImage grab() override;
};

class ErrorReportDialog final : public QDialog {
    Q_OBJECT

public:
    explicit ErrorReportDialog(QWidget *parent = nullptr);
    // initerrinfo
    void initErrorInfo(const QString &user, const QString &screenshotPath, const QString &errorText);
};

// Shows the report modally over the active window and releases it.
class DialogErrorReport final : public ErrorReport {
public:
    void show(const QString &user, const QString &screenshotPath, const QString &errorText) override;
};

} // namespace vorel
