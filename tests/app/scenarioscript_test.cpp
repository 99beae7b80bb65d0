// Reading scenario scripts: every step word, key names with their modifiers, and the line
// named by each kind of mistake.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "app/scenarioscript.h"

namespace vorel {
namespace {

using Kind = ScenarioStep::Kind;

TEST(ScenarioScriptTest, ReadsEveryStepWithItsLine)
{
    const QString text = QStringLiteral("# a sale\r\n"
                                        "\r\n"
                                        "  focus LABZ06\r\n"
                                        "type 张三 01  \n"
                                        "key Ctrl+Q\n"
                                        "answer YES\n"
                                        "wait 90\n"
                                        "sleep 0.25\n"
                                        "dump\n");
    const ScenarioScript script = ScenarioScript::fromText(text, QStringLiteral("sale.txt"));
    ASSERT_TRUE(script.isValid()) << script.error().toStdString();
    const QList<ScenarioStep> &steps = script.steps();
    ASSERT_EQ(steps.size(), 7);

    const std::vector<std::pair<Kind, int>> kinds{{Kind::Focus, 3}, {Kind::Type, 4},   {Kind::Key, 5},
                                                  {Kind::Answer, 6}, {Kind::Wait, 7}, {Kind::Sleep, 8},
                                                  {Kind::Dump, 9}};
    for (size_t i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(steps.at(qsizetype(i)).kind, kinds[i].first) << i;
        EXPECT_EQ(steps.at(qsizetype(i)).line, kinds[i].second) << i;
    }
    EXPECT_EQ(steps[0].text, QStringLiteral("LABZ06"));
    // the typed text is the rest of the line, inner and trailing blanks included
    EXPECT_EQ(steps[1].text, QStringLiteral("张三 01  "));
    EXPECT_EQ(steps[2].chord, (KeyChord{Qt::Key_Q, Qt::ControlModifier}));
    EXPECT_EQ(steps[3].answer, ScenarioStep::Answer::Yes);
    EXPECT_EQ(steps[4].seconds, 90);
    EXPECT_DOUBLE_EQ(steps[5].seconds, 0.25);
    EXPECT_EQ(script.at(4, QStringLiteral("x")), QStringLiteral("sale.txt:4: x"));
}

TEST(ScenarioScriptTest, TheFirstBadLineIsNamed)
{
    struct Row {
        const char *script;
        const char *error;
    };
    const std::vector<Row> rows{
        {"dump\ntipe 01\n", "t.txt:2: unknown step \"tipe\""},
        {"Dump\n", "t.txt:1: unknown step \"Dump\""},
        {"dump now\n", "t.txt:1: dump takes nothing after it"},
        {"# c\nfocus\n", "t.txt:2: focus needs the name of a control"},
        {"focus LABZ06 LABZ07\n", "t.txt:1: a control name has no spaces: \"LABZ06 LABZ07\""},
        {"type\n", "t.txt:1: type needs the text to type"},
        {"key\n", "t.txt:1: key needs a key name"},
        {"key Ctrl+F13\n", "t.txt:1: unknown key \"Ctrl+F13\""},
        {"answer maybe\n", "t.txt:1: answer takes yes, no or ok, not \"maybe\""},
        {"wait 1.5\n", "t.txt:1: wait takes whole seconds, not \"1.5\""},
        {"wait -3\n", "t.txt:1: wait takes whole seconds, not \"-3\""},
        {"sleep soon\n", "t.txt:1: sleep takes seconds up to 3600, not \"soon\""},
        {"sleep 1e9\n", "t.txt:1: sleep takes seconds up to 3600, not \"1e9\""},
        {"\n\nsleep\nkey Nope\n", "t.txt:3: sleep takes seconds up to 3600, not \"\""},
    };
    for (const Row &row : rows) {
        const ScenarioScript script = ScenarioScript::fromText(QString::fromUtf8(row.script), QStringLiteral("t.txt"));
        EXPECT_FALSE(script.isValid()) << row.script;
        EXPECT_EQ(script.error().toStdString(), std::string(row.error)) << row.script;
    }
}

} // namespace
} // namespace vorel
