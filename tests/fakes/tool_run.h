#pragma once
// Runs a shell command line (a tool under test) and keeps what it printed and how it ended.

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace cantorix::testing {

struct ToolRun {
    std::string out; // what the command wrote to its standard output
    int status = -1; // its exit status; −1 when it did not exit by itself
};

inline ToolRun runCommand(const std::string& command) {
    ToolRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.out += buffer;
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace cantorix::testing
