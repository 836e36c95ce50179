#pragma once

#include <string>
#include <unistd.h>
#include <vector>

namespace velorin {

// In a forked child: runs the program with the arguments; exits 127 when it cannot be started.
[[noreturn]] inline void execProgram(const char* program, std::vector<std::string> args)
{
    std::vector<char*> argv{const_cast<char*>(program)};
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program, argv.data());
    ::_exit(127);
}

} // namespace velorin
