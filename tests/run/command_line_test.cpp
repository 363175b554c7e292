// The command-line scan: which switches it finds and the boxes it shows, in order.
#include <gtest/gtest.h>

#include "harness/box_recorder.h"
#include "run/command_line.h"
#include "run/flags.h"

namespace {

struct ScanCase {
    const char* name;
    const char* commandLine;
    int silent;
    int diagnostic;
    int force;
    std::vector<std::string> captions;
};

void PrintTo(const ScanCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandLineScan : public ::testing::TestWithParam<ScanCase> {
protected:
    void SetUp() override { diagnosticMode = forceUpdate = 0; }
    void TearDown() override { diagnosticMode = forceUpdate = 0; }
};

TEST_P(CommandLineScan, FindsSwitchesAndShowsTheirBoxesInOrder)
{
    const ScanCase& c = GetParam();
    BoxRecorder boxes;
    EXPECT_EQ(c.silent, scanCommandLine(c.commandLine));
    EXPECT_EQ(c.diagnostic, diagnosticMode);
    EXPECT_EQ(c.force, forceUpdate);
    EXPECT_EQ(c.captions, boxes.captions());
}

INSTANTIATE_TEST_SUITE_P(
    Switches, CommandLineScan,
    ::testing::Values(ScanCase{"Empty", "", 0, 0, 0, {}},
                      ScanCase{"LowerS", "/s", 1, 0, 0, {}},
                      ScanCase{"SilentWord", "/silent", 1, 0, 0, {}},
                      ScanCase{"SlashesTogether", "/s/D/f", 1, 1, 1, {"Diagnostic:", "Forced update"}},
                      ScanCase{"ForcedThenDiagnostic", "/F /d", 0, 1, 1, {"Forced update", "Diagnostic:"}},
                      ScanCase{"DiagnosticTwice", "/D /Dx", 0, 1, 0, {"Diagnostic:", "Diagnostic:"}},
                      ScanCase{"MinusSign", "-d", 0, 0, 0, {}},
                      ScanCase{"OtherLetter", "/x", 0, 0, 0, {}},
                      ScanCase{"InsideOtherText", "C:\\a/sb", 1, 0, 0, {}},
                      ScanCase{"SlashAtEnd", "trailing /", 0, 0, 0, {}}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

TEST(CommandLineScanBoxes, DiagnosticAndForcedBoxesCarryTheirTexts)
{
    BoxRecorder boxes;
    scanCommandLine("/d /f");
    ASSERT_EQ(2u, boxes.boxes().size());
    EXPECT_EQ("In diagnostic mode", boxes.boxes()[0].text);
    EXPECT_EQ("All files will be updated", boxes.boxes()[1].text);
    EXPECT_FALSE(boxes.boxes()[0].stopIcon);
    EXPECT_EQ(1, boxes.boxes()[1].buttons);
    diagnosticMode = forceUpdate = 0;
}

} // namespace
