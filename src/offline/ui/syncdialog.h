#pragma once
// TS005, the synchronisation dialog: the gauge with its progress text, the elapsed seconds,
// the step and traffic texts, and on failure the two red texts. Manual: "开始 F5" starts a
// run, "转成离线 (F3)" switches the till to offline when it has offline data, the close
// button leaves. Automatic: the buttons are off, the run starts when the dialog first
// shows and the dialog closes when it ends. The run itself is the Synchroniser's.

#include <QDialog>

#include "offline/synchroniser.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vorel {

class LocalStore;
class Messages;

class SyncDialog final : public QDialog, private SyncObserver {
    Q_OBJECT

public:
    // Results of exec() besides Rejected.
    static constexpr int SynchronisedResult = 1;
    static constexpr int SwitchedOfflineResult = 5;

    SyncDialog(Synchroniser &sync, LocalStore &store, Messages &messages, SyncTerminal terminal, bool automatic,
               QWidget *parent = nullptr);

    int syncResult() const { return result_; }
    const QString &summary() const { return sync_.summary(); }
    // The pause before an automatic run (1000 ms; tests shorten it).
    void setStartDelay(int ms) { startDelayMs_ = ms; }

    // btn_ok / F5, bsSkinButton1 / F3.
    void start();
    void switchOffline();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    void progressed(const SyncProgress &progress) override;
    void showFailure(const QString &cause, const QString &advice);
    void setButtonsEnabled(bool enabled);

    Synchroniser &sync_;
    LocalStore &store_;
    Messages &messages_;
    SyncTerminal terminal_;
    bool automatic_;
    bool started_ = false;
    bool running_ = false;
    int startDelayMs_ = 1000;
    int result_ = Synchroniser::Done;
    QLabel *elapsed_;
    QLabel *step_;
    QLabel *traffic_;
    QLabel *cause_;
    QLabel *advice_;
    QProgressBar *gauge_;
    QPushButton *start_;
    QPushButton *close_;
    QPushButton *offline_;
    QTimer *closer_;
};

} // namespace vorel
