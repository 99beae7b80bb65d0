// Scenarios played on a small till: a sales screen with a command line and labels, a dialog
// opened modally by F5, and boxes. How dialogs and the login
// before the main window are dumped, and the answers to the till's own questions, are the
// golden dumps' of tests/scenarios, played on the real till, which also lean on the steps that
// wait (a box that comes late, sleep, wait); here every failure of a script.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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
    bool offline() const override { return false; }
    void advanceTime(int seconds) override { clock_->setText(QString::number(clock_->text().toInt() + seconds)); }

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
            QDialog dialog(this);
            dialog.setObjectName(QStringLiteral("TS010"));
            auto *card = new QLineEdit(&dialog);
            card->setObjectName(QStringLiteral("cardno"));
            (new QVBoxLayout(&dialog))->addWidget(card);
            dialog.exec();
            return true;
        }
        case Qt::Key_F7:
            messages_.notice(QStringLiteral("已挂单\n单号 0001"));
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

    // Plays the script to its end and gives what it wrote.
    std::string play(const char *text, ScenarioHost *host)
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
