// The out-of-process driver against a child whose windows are known: every way
// of answering, the transcript, and the failures it must report.
#include <gtest/gtest.h>

#include "harness/driver.h"
#include "harness/scratch.h"

namespace {

RunResult runChild(const std::string& words, const std::vector<Answer>& script, DWORD timeoutMs = 30000)
{
    RunOptions options;
    options.exe = binaryPath("driver_child.exe");
    options.timeoutMs = timeoutMs;
    return runDefPatch(words, script, options);
}

struct DialogCase {
    const char* name;
    Answer answer;
    DWORD exitCode;
};

void PrintTo(const DialogCase& c, std::ostream* os)
{
    *os << c.name;
}

class DriverAnswersDialog : public ::testing::TestWithParam<DialogCase> {};

TEST_P(DriverAnswersDialog, AsScripted)
{
    const DialogCase& c = GetParam();
    RunResult result = runChild("dialog", {c.answer});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(c.exitCode, result.exitCode) << describe(result);
    ASSERT_EQ(1u, result.windows.size());
    EXPECT_EQ("Child dialog", result.windows[0].caption);
    EXPECT_EQ("A dialog for the driver's tests.", result.windows[0].text);
    EXPECT_EQ(2, result.windows[0].buttons);
}

Answer answer(Action action, int id = IDOK, std::vector<int> tick = {}, int focus = 0)
{
    Answer a("Child dialog", action, id, std::move(tick));
    a.focus = focus;
    return a;
}

// Exit code 100 + 10 * command + ticked.
INSTANTIATE_TEST_SUITE_P(
    Actions, DriverAnswersDialog,
    ::testing::Values(DialogCase{"PressOk", answer(Action::Press, IDOK), 110},
                      DialogCase{"PressCancel", answer(Action::Press, IDCANCEL), 120},
                      DialogCase{"TickThenOk", answer(Action::Press, IDOK, {1005}), 111},
                      DialogCase{"TickTwiceThenOk", answer(Action::Press, IDOK, {1005, 1005}), 110},
                      DialogCase{"CommandCancel", answer(Action::Command, IDCANCEL), 120},
                      DialogCase{"EnterOnDefault", answer(Action::Enter), 110},
                      DialogCase{"TickThenEnter", answer(Action::Enter, IDOK, {1005}), 111},
                      DialogCase{"EnterOnCancel", answer(Action::Enter, IDOK, {}, IDCANCEL), 120},
                      DialogCase{"Escape", answer(Action::Escape), 120},
                      DialogCase{"CloseBox", answer(Action::CloseBox), 120}),
    [](const ::testing::TestParamInfo<DialogCase>& info) { return std::string(info.param.name); });

TEST(Driver, RecordsBoxesInOrderWithTextAndIcon)
{
    RunResult result = runChild("box:First stop:Second box:Third",
                                {{"First"}, {"Second"}, {"Third"}});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(7u, result.exitCode);
    EXPECT_EQ((std::vector<std::string>{"First", "Second", "Third"}), result.captions());
    EXPECT_EQ("Child text", result.windows[1].text);
    EXPECT_FALSE(result.windows[0].stopIcon);
    EXPECT_TRUE(result.windows[1].stopIcon);
    EXPECT_EQ(1, result.windows[1].buttons);
    EXPECT_EQ("Press 1", result.windows[1].action);
}

TEST(Driver, InspectSeesTheWindowBeforeItIsAnswered)
{
    std::string seenText;
    UINT checked = 99;
    Answer a = answer(Action::Press);
    a.inspect = [&](HWND window) {
        char text[64] = "";
        GetWindowTextA(window, text, sizeof text);
        seenText = text;
        checked = IsDlgButtonChecked(window, 1005);
    };
    RunResult result = runChild("dialog", {a});
    ASSERT_RUN_OK(result);
    EXPECT_EQ("Child dialog", seenText);
    EXPECT_EQ(BST_UNCHECKED, checked);
}

TEST(Driver, DialogLeftAloneIsAnsweredAfterTheBoxOverIt)
{
    RunResult result = runChild("dialogbox", {answer(Action::None), {"Child box"}, answer(Action::Press, IDCANCEL)});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(120u, result.exitCode);
    EXPECT_EQ((std::vector<std::string>{"Child dialog", "Child box", "Child dialog"}), result.captions());
}

TEST(Driver, DialogLeftAloneIsNotAnsweredByAnEntryForAnotherWindow)
{
    RunResult result = runChild("dialogbox", {answer(Action::None), {"Other"}}, 2000);
    EXPECT_FALSE(result.ok());
    EXPECT_NE(std::string::npos, result.error.find("unexpected window \"Child box\"")) << result.error;
}

TEST(Driver, OptionalEntryIsSkippedWhenItsWindowDoesNotCome)
{
    Answer maybe{"Not shown"};
    maybe.optional = true;
    RunResult result = runChild("box:Only", {maybe, {"Only"}});
    EXPECT_RUN_OK(result);
    EXPECT_EQ((std::vector<std::string>{"Only"}), result.captions());
}

TEST(Driver, UnexpectedWindowFailsTheRunAndEndsTheChild)
{
    RunResult result = runChild("box:First box:Surprise box:Never", {{"First"}, {"Other"}});
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.finished);
    EXPECT_FALSE(result.ok());
    EXPECT_NE(std::string::npos, result.error.find("unexpected window \"Surprise\"")) << result.error;
    ASSERT_EQ(2u, result.windows.size());
    EXPECT_EQ("unexpected", result.windows[1].action);
}

TEST(Driver, WindowAfterTheEndOfTheScriptIsUnexpected)
{
    RunResult result = runChild("box:First", {});
    EXPECT_FALSE(result.ok());
    EXPECT_NE(std::string::npos, result.error.find("after the end of the script")) << result.error;
}

TEST(Driver, StopAfterScriptEndsTheRunAtTheNextWindow)
{
    RunOptions options;
    options.exe = binaryPath("driver_child.exe");
    options.stopAfterScript = true;
    RunResult result = runDefPatch("box:First box:Second box:Third", {{"First"}}, options);
    EXPECT_RUN_OK(result);
    EXPECT_TRUE(result.stoppedAfterScript);
    EXPECT_EQ((std::vector<std::string>{"First", "Second"}), result.captions());
    EXPECT_EQ("stopped", result.windows[1].action);
}

TEST(Driver, ScriptLeftOverIsReported)
{
    RunResult result = runChild("box:First", {{"First"}, {"Second"}});
    EXPECT_TRUE(result.finished);
    EXPECT_FALSE(result.ok());
    EXPECT_NE(std::string::npos, result.error.find("\"Second\"")) << result.error;
}

TEST(Driver, RunThatDoesNotEndIsKilledAtTheTimeLimit)
{
    RunResult result = runChild("hang", {}, 1500);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.finished);
    EXPECT_EQ("did not end within 1500 ms", result.error);
}

TEST(Driver, MissingButtonIsReported)
{
    RunResult result = runChild("dialog", {answer(Action::Press, 4321)});
    EXPECT_FALSE(result.ok());
    EXPECT_NE(std::string::npos, result.error.find("no button 4321")) << result.error;
}

TEST(Driver, ProgramThatCannotStartIsReported)
{
    RunOptions options;
    options.exe = "C:\\no\\such\\program.exe";
    RunResult result = runDefPatch("", {}, options);
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(result.error.empty());
}

TEST(Driver, StartDirectoryAndEnvironmentReachTheChild)
{
    // DefPatch.exe itself is not needed: cmd shows both.
    ScratchDir scratch;
    RunOptions options;
    options.exe = "C:\\windows\\system32\\cmd.exe";
    options.startDir = scratch.path();
    options.env = {"DEFPATCH_DRIVER_TEST=fine"};
    RunResult result = runDefPatch("/c cd > seen.txt && echo %DEFPATCH_DRIVER_TEST%>> seen.txt", {}, options);
    ASSERT_RUN_OK(result);
    std::string seen = readFile(scratch / "seen.txt");
    std::string dir = scratch.path();
    dir.pop_back();
    EXPECT_EQ(dir + "\r\nfine\r\n", seen);
}

} // namespace
