// Scenarios played on a small till: a sales screen with a command line and labels, a member
// dialog opened modally by F5 that asks before it saves, and boxes that show at once or from a
// timer. The dumps are compared whole.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <string>
#include <vector>

#include "app/scenarioscript.h"
#include "app/ui/boxmessages.h"
#include "app/ui/scenariohost.h"
#include "app/ui/scenariorunner.h"

namespace vorel {
namespace {

using namespace std::chrono_literals;

class MemberDialog : public QDialog {
public:
    MemberDialog(Messages &messages, QWidget *parent) : QDialog(parent), messages_(messages)
    {
        setObjectName(QStringLiteral("TS010"));
        setWindowTitle(QStringLiteral("会员资料"));
        auto *layout = new QVBoxLayout(this);
        auto *caption = new QLabel(QStringLiteral("卡号"), this);
        caption->setObjectName(QStringLiteral("Label1"));
        layout->addWidget(caption);
        card = new QLineEdit(this);
        card->setObjectName(QStringLiteral("cardno"));
        layout->addWidget(card);
        auto *secret = new QLineEdit(QStringLiteral("x"), this);
        secret->setObjectName(QStringLiteral("secret"));
        secret->hide();
        layout->addWidget(new QLabel(QStringLiteral("unnamed"), this));
        vip = new QCheckBox(QStringLiteral("VIP"), this);
        vip->setObjectName(QStringLiteral("vip"));
        layout->addWidget(vip);
        kind = new QComboBox(this);
        kind->setObjectName(QStringLiteral("kind"));
        kind->addItems({QStringLiteral("普通"), QStringLiteral("金卡")});
        layout->addWidget(kind);
    }

    QLineEdit *card;
    QCheckBox *vip;
    QComboBox *kind;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Return) {
            if (messages_.ask(QStringLiteral("保存会员卡 %1?").arg(card->text())))
                accept();
            return;
        }
        QDialog::keyPressEvent(event);
    }

private:
    Messages &messages_;
};

// The sales screen and its main window in one.
class TestTill : public QWidget, public ScenarioHost {
public:
    TestTill()
    {
        auto *layout = new QVBoxLayout(this);
        command_ = addWidget<QLineEdit>(layout, "LABZ06", QString());
        cashier_ = addWidget<QLabel>(layout, "LABZ01", QStringLiteral("01 张丽"));
        member_ = addWidget<QLabel>(layout, "LABZ02", QString());
        clock_ = addWidget<QLabel>(layout, "LABZ05", QStringLiteral("0"));
        addWidget<QLabel>(layout, "LABZ09", QStringLiteral("hidden"))->hide();
        addWidget<QLineEdit>(layout, "LABZ07", QString())->setEnabled(false);
        command_->installEventFilter(this);

        auto *quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
        QObject::connect(quit, &QShortcut::activated, this, [this] {
            if (messages_.ask(QStringLiteral("是否退出收银系统?")))
                cashier_->setText(QStringLiteral("已退出"));
        });
    }

    QWidget *screen() override { return this; }
    QList<std::pair<QString, QString>> screenLabels() override
    {
        QList<std::pair<QString, QString>> labels{{command_->objectName(), command_->text()}};
        for (QLabel *label : {cashier_, member_, clock_})
            labels.append({label->objectName(), label->text()});
        return labels;
    }
    QList<QList<std::pair<QString, QString>>> gridRows() override { return rows_; }
    bool offline() const override { return offline_; }
    void advanceTime(int seconds) override { clock_->setText(QString::number(clock_->text().toInt() + seconds)); }

    bool offline_ = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != command_ || event->type() != QEvent::KeyPress)
            return QWidget::eventFilter(watched, event);
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Return:
            rows_.append({{QStringLiteral("code"), command_->text()}, {QStringLiteral("qty"), QStringLiteral("1")}});
            command_->clear();
            return true;
        case Qt::Key_F5: {
            MemberDialog dialog(messages_, this);
            if (dialog.exec() == QDialog::Accepted)
                member_->setText(QStringLiteral("%1 %2%3").arg(dialog.card->text(), dialog.kind->currentText(),
                                                               dialog.vip->isChecked() ? QStringLiteral(" VIP") : QString()));
            return true;
        }
        case Qt::Key_F7:
            messages_.notice(QStringLiteral("已挂单\n单号 0001"));
            return true;
        case Qt::Key_F8:
            QTimer::singleShot(100, this, [this] { messages_.notice(QStringLiteral("网络已恢复")); });
            return true;
        case Qt::Key_F9:
            QTimer::singleShot(100, this, [this] {
                if (messages_.ask(QStringLiteral("继续?")))
                    member_->setText(QStringLiteral("继续"));
            });
            return true;
        default:
            return QWidget::eventFilter(watched, event);
        }
    }

private:
    template <typename W>
    W *addWidget(QVBoxLayout *layout, const char *name, const QString &text)
    {
        auto *w = new W(text, this);
        w->setObjectName(QLatin1String(name));
        layout->addWidget(w);
        return w;
    }

    BoxMessages messages_;
    QLineEdit *command_;
    QLabel *cashier_;
    QLabel *member_;
    QLabel *clock_;
    QList<QList<std::pair<QString, QString>>> rows_;
};

class ScenarioRunnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        till.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&till));
    }

    // Plays the script to its end and gives what it wrote. `beforeLoop` runs once the runner
    // has started (the till's start-up: the login dialog comes before the main window).
    std::string play(const char *text, ScenarioHost *host, const std::function<void(ScenarioRunner &)> &beforeLoop = {})
    {
        QString output;
        QTextStream out(&output);
        ScenarioRunner runner(ScenarioScript::fromText(QString::fromUtf8(text), QStringLiteral("t.txt")), out, nullptr,
                              ScenarioRunner::Ending::SignalOnly);
        runner.setAnswerTimeout(300ms);
        runner.setHost(host);
        // A script that fails inside a dialog or a box leaves nothing open behind it. Closed
        // from the loops, one at a time: the box may still be on its way up.
        QObject::connect(&runner, &ScenarioRunner::finished, &till, [this] { QTimer::singleShot(0, &till, closeModals); });
        // A runner that stops stepping would leave a dialog's loop running for ever.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, &till, &closeModals);
        watchdog.start(15s);
        runner.start();
        if (beforeLoop)
            beforeLoop(runner);
        EXPECT_TRUE(QTest::qWaitFor([&] { return runner.isFinished(); }, 20000));
        code = runner.exitCode();
        error = runner.failure().toStdString();
        return output.toStdString();
    }

    static void closeModals()
    {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            modal->close();
            QTimer::singleShot(0, closeModals);
        }
    }

    TestTill till;
    int code = -1;
    std::string error;
};

TEST_F(ScenarioRunnerTest, FillsADialogOpenedByAKeyAndAnswersItsQuestion)
{
    const std::string dumps = play("# a line on the command line, then the member dialog\n"
                                   "focus LABZ06\n"
                                   "type 张三 01\n"
                                   "key Enter\n"
                                   "type A001\n"
                                   "dump\n"
                                   "key F5\n"
                                   "focus cardno\n"
                                   "type 8801\n"
                                   "focus vip\n"
                                   "key Space\n"
                                   "focus kind\n"
                                   "key Down\n"
                                   "dump\n"
                                   "key Enter\n"
                                   "answer no\n"
                                   "focus cardno\n"
                                   "type 8802\n"
                                   "key Enter\n"
                                   "answer yes\n"
                                   "dump\n",
                                   &till);
    EXPECT_EQ(error, "");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(dumps, "label LABZ06=A001\n"
                     "label LABZ01=01 张丽\n"
                     "label LABZ02=\n"
                     "label LABZ05=0\n"
                     "row 1 code=张三 01 qty=1\n"
                     "state online\n"
                     "end\n"
                     "label LABZ06=A001\n"
                     "label LABZ01=01 张丽\n"
                     "label LABZ02=\n"
                     "label LABZ05=0\n"
                     "row 1 code=张三 01 qty=1\n"
                     "dialog TS010 会员资料\n"
                     "field Label1=卡号\n"
                     "field cardno=8801\n"
                     "field vip=1\n"
                     "field kind=金卡\n"
                     "state online\n"
                     "end\n"
                     "label LABZ06=A001\n"
                     "label LABZ01=01 张丽\n"
                     "label LABZ02=8802 金卡 VIP\n"
                     "label LABZ05=0\n"
                     "row 1 code=张三 01 qty=1\n"
                     "message 保存会员卡 8801?\n"
                     "message 保存会员卡 8802?\n"
                     "state online\n"
                     "end\n");
}

TEST_F(ScenarioRunnerTest, NoticesPassOnTheirOwnAndWaitMovesTheTill)
{
    till.offline_ = true;
    const std::string dumps = play("focus LABZ06\n"
                                   "key F7\n"
                                   "wait 90\n"
                                   "key Ctrl+Q\n"
                                   "answer yes\n"
                                   "dump\n"
                                   "dump\n",
                                   &till);
    EXPECT_EQ(error, "");
    EXPECT_EQ(dumps, "label LABZ06=\n"
                     "label LABZ01=已退出\n"
                     "label LABZ02=\n"
                     "label LABZ05=90\n"
                     "message 已挂单\\n单号 0001\n"
                     "message 是否退出收银系统?\n"
                     "state offline\n"
                     "end\n"
                     "label LABZ06=\n"
                     "label LABZ01=已退出\n"
                     "label LABZ02=\n"
                     "label LABZ05=90\n"
                     "state offline\n"
                     "end\n");
}

TEST_F(ScenarioRunnerTest, SleepLetsTimersRunAndAnswerWaitsForALateBox)
{
    QElapsedTimer elapsed;
    elapsed.start();
    // F8 shows a notice and F9 a question, each 100 ms later.
    const std::string dumps = play("focus LABZ06\n"
                                   "key F8\n"
                                   "sleep 0.3\n"
                                   "key F9\n"
                                   "answer yes\n"
                                   "dump\n",
                                   &till);
    EXPECT_EQ(error, "");
    EXPECT_GE(elapsed.elapsed(), 400);
    EXPECT_EQ(dumps, "label LABZ06=\n"
                     "label LABZ01=01 张丽\n"
                     "label LABZ02=继续\n"
                     "label LABZ05=0\n"
                     "message 网络已恢复\n"
                     "message 继续?\n"
                     "state online\n"
                     "end\n");
}

TEST_F(ScenarioRunnerTest, BeforeTheMainWindowOnlyTheDialogIsDumped)
{
    QDialog login;
    login.setObjectName(QStringLiteral("tlogin"));
    login.setWindowTitle(QStringLiteral("用户登录"));
    auto *layout = new QVBoxLayout(&login);
    auto *terminal = new QLabel(QStringLiteral("终端 01"), &login);
    terminal->setObjectName(QStringLiteral("ZD"));
    layout->addWidget(terminal);
    auto *user = new QLineEdit(QStringLiteral("99"), &login);
    user->setObjectName(QStringLiteral("usercode"));
    layout->addWidget(user);
    auto *ok = new QPushButton(QStringLiteral("连线 F2"), &login);
    ok->setObjectName(QStringLiteral("btn_ok"));
    ok->setDefault(true);
    layout->addWidget(ok);
    QObject::connect(ok, &QPushButton::clicked, &login, &QDialog::accept);

    int loginResult = -1;
    const std::string dumps = play("focus usercode\n"
                                   "type 01\n"
                                   "dump\n"
                                   "key Enter\n"
                                   "dump\n",
                                   nullptr, [&](ScenarioRunner &runner) {
                                       loginResult = login.exec();
                                       runner.setHost(&till);
                                   });
    EXPECT_EQ(error, "");
    EXPECT_EQ(loginResult, QDialog::Accepted);
    EXPECT_EQ(dumps, "dialog tlogin 用户登录\n"
                     "field ZD=终端 01\n"
                     "field usercode=01\n"
                     "end\n"
                     "label LABZ06=\n"
                     "label LABZ01=01 张丽\n"
                     "label LABZ02=\n"
                     "label LABZ05=0\n"
                     "state online\n"
                     "end\n");
}

TEST_F(ScenarioRunnerTest, AFailureNamesItsLineAndStopsTheScript)
{
    struct Row {
        const char *script;
        const char *error;
        bool host = true;
    };
    const std::vector<Row> rows{
        {"dump\nfrob\n", "t.txt:2: unknown step \"frob\""},
        {"focus LABZ06\nfocus LABZ99\ndump\n", "t.txt:2: no control named LABZ99"},
        {"focus LABZ09\n", "t.txt:1: control LABZ09 is not visible"},
        {"focus LABZ07\n", "t.txt:1: control LABZ07 is disabled"},
        // inside a dialog only the dialog's controls are found
        {"focus LABZ06\nkey F5\nfocus LABZ06\n", "t.txt:3: no control named LABZ06"},
        {"focus LABZ06\nkey Ctrl+Q\ndump\n", "t.txt:2: no answer waiting for the box \"是否退出收银系统?\""},
        {"focus LABZ06\nkey Ctrl+Q\nanswer ok\ndump\n",
         "t.txt:3: answer ok, but the box \"是否退出收银系统?\" has no such button"},
        {"focus LABZ06\nkey F7\nanswer yes\n", "t.txt:3: answer yes, but the box \"已挂单\\n单号 0001\" has no such button"},
        {"focus LABZ06\nanswer yes\ndump\n", "t.txt:2: no message box appeared within 0.3 s"},
        {"wait 5\n", "t.txt:1: wait needs the main window", false},
    };
    for (const Row &row : rows) {
        const std::string dumps = play(row.script, row.host ? &till : nullptr);
        EXPECT_EQ(code, 1) << row.script;
        EXPECT_EQ(error, std::string(row.error)) << row.script;
        EXPECT_EQ(dumps, "") << row.script;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << row.script;
    }
}

} // namespace
} // namespace vorel
