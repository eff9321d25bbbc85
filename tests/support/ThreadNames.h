#pragma once
// The names of this process's threads, as `top -H` and debuggers show them.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fixtures {

inline std::vector<std::string> ThreadNames()
{
    std::vector<std::string> names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (std::getline(comm, name))
            names.push_back(name);
    }
    return names;
}

// A thread names itself as it starts: waits up to ten seconds for one of that name.
inline bool HasThreadNamed(const std::string& name)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        for (const std::string& each : ThreadNames())
            if (each == name)
                return true;
        std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

} // namespace fixtures
