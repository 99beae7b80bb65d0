#include "offline/ui/syncdialog.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/messages.h"

namespace vorel {

namespace {

QLabel *label(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

SyncDialog::SyncDialog(Synchroniser &sync, LocalStore &store, Messages &messages, SyncTerminal terminal,
                       bool automatic, QWidget *parent)
    : QDialog(parent), sync_(sync), store_(store), messages_(messages), terminal_(std::move(terminal)),
      automatic_(automatic)
{
    setObjectName(QStringLiteral("TS005"));
    setWindowTitle(QStringLiteral("同步"));
    setModal(true);
    auto *column = new QVBoxLayout(this);
    column->addWidget(label(QStringLiteral("LAB_TIT"), Synchroniser::Title, this));
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName(QStringLiteral("gau"));
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    gauge_->setFormat(Synchroniser::gaugeText(0, 0));
    column->addWidget(gauge_);
    auto *time = new QHBoxLayout;
    elapsed_ = label(QStringLiteral("Label1"), QStringLiteral("0"), this);
    time->addWidget(elapsed_);
    time->addWidget(label(QStringLiteral("Label7"), QStringLiteral("秒"), this));
    time->addStretch();
    column->addLayout(time);
    step_ = label(QStringLiteral("Label2"), QString(), this);
    traffic_ = label(QStringLiteral("Label3"), QString(), this);
    cause_ = label(QStringLiteral("Label4"), QStringLiteral("与服务器同步失败!请点击开始重新同步，取消同步点关闭"), this);
    advice_ = label(QStringLiteral("Label5"),
                    QStringLiteral("请点击开始重新同步,取消点关闭,如本次不能正常完成同步，系统将关闭离线功能!"), this);
    for (QLabel *l : {cause_, advice_}) {
        l->setStyleSheet(QStringLiteral("color: red;"));
        l->hide();
    }
    for (QLabel *l : {step_, traffic_, cause_, advice_})
        column->addWidget(l);
    auto *buttons = new QHBoxLayout;
    start_ = button(QStringLiteral("btn_ok"), QStringLiteral("开始 F5"), this);
    offline_ = button(QStringLiteral("bsSkinButton1"), QStringLiteral("转成离线 (F3)"), this);
    close_ = button(QStringLiteral("btn_Cancel"), QStringLiteral("关闭"), this);
    buttons->addStretch();
    for (QPushButton *b : {start_, offline_, close_})
        buttons->addWidget(b);
    column->addLayout(buttons);
    connect(start_, &QPushButton::clicked, this, &SyncDialog::start);
    connect(offline_, &QPushButton::clicked, this, &SyncDialog::switchOffline);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);

    closer_ = new QTimer(this);
    closer_->setObjectName(QStringLiteral("Timer1"));
    closer_->setSingleShot(true);
    closer_->setInterval(300);
    connect(closer_, &QTimer::timeout, this, &QDialog::reject);
    setButtonsEnabled(!automatic_);
}

void SyncDialog::setButtonsEnabled(bool enabled)
{
    for (QPushButton *b : {start_, offline_, close_})
        b->setEnabled(enabled);
}

void SyncDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!automatic_ || started_)
        return;
    started_ = true;
    QTimer::singleShot(startDelayMs_, this, &SyncDialog::start);
}

void SyncDialog::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_F5:
        if (start_->isEnabled())
            start();
        return;
    case Qt::Key_F3:
        if (offline_->isEnabled())
            switchOffline();
        return;
    case Qt::Key_F2:
        return;
    case Qt::Key_Escape:
        // Not while a run is going.
        if (!close_->isEnabled())
            return;
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

void SyncDialog::start()
{
    cause_->hide();
    advice_->hide();
    start_->setEnabled(false);
    close_->setEnabled(false);
    running_ = true;
    result_ = sync_.run(terminal_, this);
    running_ = false;
    if (result_ == Synchroniser::UploadFailed)
        showFailure(Synchroniser::UploadFailedCause, Synchroniser::UploadFailedAdvice);
    else if (result_ == Synchroniser::DownloadFailed)
        showFailure(Synchroniser::DownloadFailedCause, Synchroniser::DownloadFailedAdvice);
    if (automatic_)
        closer_->start();
    else if (result_ == Synchroniser::Done)
        done(SynchronisedResult);
}

void SyncDialog::showFailure(const QString &cause, const QString &advice)
{
    gauge_->setValue(0);
    cause_->setText(cause);
    advice_->setText(advice);
    cause_->show();
    advice_->show();
    if (!automatic_) {
        start_->setEnabled(true);
        close_->setEnabled(true);
    }
}

void SyncDialog::reject()
{
    // The window's close box does nothing while a run is going.
    if (!running_)
        QDialog::reject();
}

void SyncDialog::switchOffline()
{
    if (running_)
        return;
    if (!Synchroniser::hasOfflineData(store_)) {
        messages_.notice(Synchroniser::NoOfflineDataText);
        return;
    }
    done(SwitchedOfflineResult);
}

void SyncDialog::progressed(const SyncProgress &progress)
{
    gauge_->setValue(progress.gauge);
    gauge_->setFormat(progress.gaugeText);
    elapsed_->setNum(progress.elapsedSeconds);
    step_->setText(progress.step);
    traffic_->setText(progress.traffic);
    QCoreApplication::processEvents();
}

} // namespace vorel
