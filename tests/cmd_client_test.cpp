// A real Windows client: cmd.exe runs a batch file that pipes the answer into
// the program, as an administrator's script does, and reads %ERRORLEVEL%.
#include "end_to_end.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>

namespace {

TEST(CmdClient, BatchFilePipesTheAnswerAndSeesTheExitStatus)
{
    std::vector<std::string> hives = {E2E_HIVE_A};
    ClearHives(hives);
    SeedKeys(E2ESettings(E2E_HIVE_A), {});

    std::string batch = ProgramDirectory() + "\\cmd-client.bat";
    std::ofstream(batch, std::ios::binary) << "@echo off\r\n"
                                              "echo y| \"%~dp0settings_cleaner.exe\"\r\n"
                                              "echo exit status %ERRORLEVEL%\r\n"
                                              "echo n| \"%~dp0settings_cleaner.exe\"\r\n"
                                              "echo exit status %ERRORLEVEL%\r\n";
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string cmd = std::string(system) + "\\cmd.exe";
    ProgramRun run = RunCommand(cmd, "cmd.exe /c \"" + batch + "\"", "");
    DeleteFileA(batch.c_str());

    EXPECT_EQ(run.output,
              SjisConsole(MSG_PROMPT E2E_FOUND(E2E_HIVE_A)
                              MSG_DELETED u8"1個のZARPHのデータを削除しました。\n" MSG_PRESS_ENTER
                                          "exit status 0\n" MSG_PROMPT MSG_CANCELLED MSG_PRESS_ENTER
                                          "exit status 1\n"));
    std::vector<std::string> left = KeysOfHives(hives);
    std::vector<std::string> expected = E2EVendorOnly(E2E_HIVE_A);
    std::sort(left.begin(), left.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    ClearHives(hives);
}

} // namespace
