#pragma once
// Helpers for tests that run beside the private sound server of with_sound_server.sh.

#include <cstdio>
#include <string>
#include <vector>

namespace fixtures {

// What a shell command prints.
inline std::string run(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        ::pclose(pipe);
    }
    return out;
}

// Programs started in the background for a test, ended with it.
struct Background {
    std::vector<std::string> pids;
    void start(const std::string& command) { pids.push_back(run(command + " 2>/dev/null & echo $!")); }
    void stop()
    {
        for (const std::string& pid : pids)
            run("kill " + pid + " 2>/dev/null; true");
        pids.clear();
    }
    ~Background() { stop(); }
};

} // namespace fixtures
