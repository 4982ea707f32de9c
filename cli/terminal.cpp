#include "cli/terminal.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace kv::cli {

bool Interactive() { return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1; }

std::string ReadSecret(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    termios old_mode{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &old_mode) == 0;
    if (terminal) {
        termios quiet = old_mode;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string secret;
    std::getline(std::cin, secret);
    if (terminal) ::tcsetattr(STDIN_FILENO, TCSANOW, &old_mode);
    std::cerr << '\n';
    return secret;
}

char AskChoice(const std::string& question) {
    std::cerr << question << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return '\0';
    return answer.empty() ? '\n' : answer[0];
}

}  // namespace kv::cli
