#include "DecodeModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace fsound {

namespace {

constexpr char kModuleFile[] = "libsorvel_decode.so";

// Beside the program (the build tree), then in the installed prefix's lib/sorvel, then
// where the build put it (test programs and copies of the program elsewhere).
std::vector<std::string> candidates()
{
    std::vector<std::string> paths;
    std::string self(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length > 0) {
        self.resize(static_cast<std::size_t>(length));
        const std::string dir = self.substr(0, self.find_last_of('/') + 1);
        paths.push_back(dir + kModuleFile);
        paths.push_back(dir + "../lib/sorvel/" + kModuleFile);
    }
#ifdef SORVEL_DECODE_MODULE_BUILT
    paths.emplace_back(SORVEL_DECODE_MODULE_BUILT);
#endif
    return paths;
}

const DecodeApi* load()
{
    std::string errors;
    for (const std::string& path : candidates()) {
        if (::access(path.c_str(), R_OK) != 0)
            continue;
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            errors += std::string("\n  ") + ::dlerror();
            continue;
        }
        using Entry = const DecodeApi* (*)();
        auto entry = reinterpret_cast<Entry>(::dlsym(module, kDecodeEntry));
        const DecodeApi* api = entry ? entry() : nullptr;
        if (api && api->version == kDecodeApiVersion)
            return api;  // kept open for the life of the program
        errors += "\n  " + path + ": not this program's decoding module";
        ::dlclose(module);
    }
    std::fprintf(stderr, "sorvel: the decoding module %s was not found or did not open; nothing will play%s\n",
                 kModuleFile, errors.c_str());
    return nullptr;
}

} // namespace

const DecodeApi* DecodeModule()
{
    static const DecodeApi* const api = load();
    return api;
}

} // namespace fsound
