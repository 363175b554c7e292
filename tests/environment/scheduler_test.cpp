// Registration of the download agent: the seven values with their exact types,
// sizes and data, written over whatever was there.
#include <gtest/gtest.h>

#include <cstring>

#include "environment/scheduler.h"
#include "harness/registry.h"

namespace {

const std::string kSettings = "Software\\Zorvane\\Tendwise\\CurrentVersion\\Twagent.exe";
const std::string kAppPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TWAgent.exe";

void expectAgentRegistered(const std::string& path, const std::string& program)
{
    expectValue(kSettings, "Download Day", REG_DWORD, dwordBytes(0xFFFFFFFF));
    expectValue(kSettings, "Download Hour", REG_DWORD, dwordBytes(0xFFFFFFFF));
    expectValue(kSettings, "Prompt Download", REG_DWORD, dwordBytes(1));
    expectValue(kSettings, "Prompt Install", REG_DWORD, dwordBytes(1));
    expectValue(kSettings, "WebSite", REG_SZ, fixedText(DEFPATCH_UPDATE_SERVER "/cgi-bin/iou.cgi"));
    expectValue(kAppPath, "Path", REG_SZ, fixedText(path));
    expectValue(kAppPath, "", REG_SZ, fixedText(program));
}

struct AgentCase {
    const char* name;
    std::string directory;
    std::string program;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const AgentCase& c, std::ostream* out)
{
    *out << c.name;
}

class AgentRegistration : public ::testing::TestWithParam<AgentCase> {};

TEST_P(AgentRegistration, WritesTheSevenValues)
{
    RegistryGuard guard;
    registerDownloadAgent(GetParam().directory.c_str());
    expectAgentRegistered(GetParam().directory, GetParam().program);
}

INSTANTIATE_TEST_SUITE_P(
    Directories, AgentRegistration,
    ::testing::Values(AgentCase{"WithBackslash", "D:\\AV\\", "D:\\AV\\TWAGent.exe"},
                      AgentCase{"WithoutBackslash", "D:\\AV", "D:\\AV\\TWAGent.exe"},
                      // The longest directories whose program path still fits 255 characters.
                      AgentCase{"LongestWithBackslash", "C:\\" + std::string(240, 'd') + "\\",
                                "C:\\" + std::string(240, 'd') + "\\TWAGent.exe"},
                      AgentCase{"LongestWithoutBackslash", "C:\\" + std::string(240, 'd'),
                                "C:\\" + std::string(240, 'd') + "\\TWAGent.exe"}),
    [](const ::testing::TestParamInfo<AgentCase>& info) { return std::string(info.param.name); });

TEST(AgentRegistrationOverwrites, ValuesOfAnotherTypeAndASecondRunLeaveTheSameSeven)
{
    RegistryGuard guard;
    ASSERT_TRUE(setStringValue(kSettings, "Download Day", "Monday"));
    ASSERT_TRUE(setDwordValue(kSettings, "WebSite", 7));
    ASSERT_TRUE(setDwordValue(kAppPath, "Path", 7));
    ASSERT_TRUE(setStringValue(kAppPath, "", "C:\\old\\TWAGent.exe"));

    registerDownloadAgent("D:\\AV\\");
    expectAgentRegistered("D:\\AV\\", "D:\\AV\\TWAGent.exe");
    registerDownloadAgent("D:\\AV\\");
    expectAgentRegistered("D:\\AV\\", "D:\\AV\\TWAGent.exe");
}

struct RefusedCase {
    const char* name;
    std::string directory;
};

void PrintTo(const RefusedCase& c, std::ostream* out)
{
    *out << c.name;
}

class AgentRegistrationRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(AgentRegistrationRefused, WritesNothingForADirectoryOutsideTheLimits)
{
    RegistryGuard guard;
    registerDownloadAgent(GetParam().directory.c_str());
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kSettings));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kAppPath));
}

INSTANTIATE_TEST_SUITE_P(
    Directories, AgentRegistrationRefused,
    ::testing::Values(RefusedCase{"Empty", ""},
                      RefusedCase{"TooLongWithBackslash", "C:\\" + std::string(241, 'd') + "\\"},
                      RefusedCase{"TooLongWithoutBackslash", "C:\\" + std::string(241, 'd')}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

} // namespace
