#pragma once
// Plays a scenario script on the running till: focuses controls, types, presses keys,
// answers message boxes and writes dumps of the screen, the open dialog and the boxes shown.
//
// Steps run from the event loop, one after the other. The next step is scheduled before a
// step runs, so when a step opens a modal dialog the steps after it run inside the dialog's
// own loop and can fill and close it. Every message box is seen as it appears: its text goes
// to the next dump and it is answered by the `answer` step waiting for it, or accepted when
// it only has OK. At the end (or at the first failure) the runner ends the application with
// the exit code, which also ends every open dialog's loop.

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <chrono>

#include "app/scenarioscript.h"

class QMessageBox;
class QTextStream;
class QWidget;

namespace vorel {

class ScenarioHost;

class ScenarioRunner : public QObject {
    Q_OBJECT

public:
    enum class Ending {
        ExitApplication, // print a failure to stderr, hide the open dialogs, QCoreApplication::exit(code)
        SignalOnly,      // only emit finished()
    };
    static constexpr std::chrono::milliseconds DefaultAnswerTimeout{10000};

    ScenarioRunner(const ScenarioScript &script, QTextStream &out, QObject *parent = nullptr,
                   Ending ending = Ending::ExitApplication);
    ~ScenarioRunner() override;

    // The main window, once it exists; until then dumps show only the dialog and the boxes.
    // The host must outlive the runner or be taken away with setHost(nullptr).
    void setHost(ScenarioHost *host) { host_ = host; }
    // How long an `answer` step waits for its box in real time.
    void setAnswerTimeout(std::chrono::milliseconds timeout);

    // Starts playing from the event loop; an invalid script fails at once with its error.
    void start();

    bool isFinished() const { return finished_; }
    // 0 when the script ran to its end, 1 after a failure.
    int exitCode() const { return exitCode_; }
    // "name:line: what went wrong", empty when the script succeeded.
    const QString &failure() const { return failure_; }

signals:
    void finished(int code, const QString &error);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void schedule(int delayMs);
    void tick(quint64 generation);
    void runStep();
    QWidget *windowInFront() const;
    // Runs one step; returns what went wrong, or nothing.
    QString execute(const ScenarioStep &step);
    QString focus(const QString &name);
    QString shot(const QString &file);
    QString typeText(const QString &text);
    QString pressKey(const KeyChord &chord);
    void dump();
    void dumpDialog(QWidget *dialog);
    void boxShown(QMessageBox *box);
    void press(QMessageBox *box, int standardButton);
    void fail(int line, const QString &message);
    void finish(int code, const QString &error);

    ScenarioScript script_;
    QTextStream &out_;
    const Ending ending_;
    ScenarioHost *host_ = nullptr;
    qsizetype next_ = 0;      // the first step not yet run (or the `answer` being waited for)
    int currentLine_ = 0;     // the line of the step started last
    quint64 generation_ = 0;  // only the newest scheduled chain may run a step
    int settleTicks_ = 0;
    int pendingPresses_ = 0;  // message box buttons about to be clicked
    bool started_ = false;
    bool finished_ = false;
    bool awaitingBox_ = false;
    bool activationAsked_ = false;
    bool inBoxShow_ = false;
    int exitCode_ = 0;
    QString failure_;
    QStringList messages_;    // box texts since the last dump
    QTimer answerTimeout_;
};

} // namespace vorel
