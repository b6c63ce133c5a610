// The program on a terminal: the prompt, which has no line end, must be on
// the screen before anything is typed.
#include "end_to_end.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

namespace {

// Reads from the terminal until text holds what was wanted, the program
// closed the terminal, or the time is up.
bool ReadUntil(int terminal, std::string* text, const std::string& wanted, int milliseconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (text->find(wanted) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd ready = {terminal, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[4096];
        ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n <= 0)
            return text->find(wanted) != std::string::npos;
        text->append(buffer, static_cast<size_t>(n));
    }
    return true;
}

TEST(Terminal, PromptShowsBeforeInputThenRunsToTheEnd)
{
    std::vector<std::string> hives = {E2E_HIVE_A};
    ClearHives(hives);
    SeedKeys(E2ESettings(E2E_HIVE_A), {});

    // No echo and no output translation: the bytes read are the program's.
    termios settings = {};
    settings.c_iflag = ICRNL;
    settings.c_lflag = ICANON;
    settings.c_cflag = CS8 | CREAD;
    settings.c_cc[VMIN] = 1;
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    int terminal = -1;
    pid_t child = forkpty(&terminal, nullptr, &settings, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(SETTINGS_CLEANER_PATH, SETTINGS_CLEANER_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }

    std::string prompt = Sjis(MSG_PROMPT);
    std::string screen;
    EXPECT_TRUE(ReadUntil(terminal, &screen, prompt, 10000)) << "prompt not shown";
    EXPECT_EQ(screen, prompt);

    ASSERT_EQ(write(terminal, "y\r", 2), 2);
    std::string pressEnter = SjisConsole(MSG_PRESS_ENTER);
    EXPECT_TRUE(ReadUntil(terminal, &screen, pressEnter, 10000)) << "closing request not shown";
    ASSERT_EQ(write(terminal, "\r", 1), 1);
    ReadUntil(terminal, &screen, "\x01never", 10000);

    int status = 0;
    waitpid(child, &status, 0);
    close(terminal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(screen,
              SjisConsole(
                  MSG_PROMPT E2E_FOUND(E2E_HIVE_A)
                      MSG_DELETED u8"1個のZARPHのデータを削除しました。\n" MSG_PRESS_ENTER));
    ClearHives(hives);
}

} // namespace
