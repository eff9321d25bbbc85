#include "DecodeModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace fsound {

namespace {

struct ModuleInfo {
    const char* file;     // null: built in
    const char* library;  // what it needs that a system may lack
};

constexpr ModuleInfo kModules[kDecoderKinds] = {
    {"libsorvel_mpg123.so", "libmpg123.so.0"},
    {"libsorvel_flac.so", "libFLAC.so.12"},
    {"libsorvel_vorbis.so", "libvorbisfile.so.3"},
    {"libsorvel_opus.so", "libopus.so.0"},
    {nullptr, nullptr},
    {"libsorvel_ffmpeg.so", "libavformat.so.59"},
};
constexpr ModuleInfo kFft{"libsorvel_fft.so", "libavutil.so.57"};
constexpr ModuleInfo kResample{"libsorvel_resample.so", "libswresample.so.4"};

std::string g_onlyFolder;  // set by tests before any module opens

// Beside the program (the build tree), then in the installed prefix's lib/sorvel, then
// where the build put it (test programs and copies of the program elsewhere).
std::vector<std::string> candidates(const char* file)
{
    std::vector<std::string> paths;
    if (!g_onlyFolder.empty())
        return {g_onlyFolder + "/" + file};
    std::string self(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length > 0) {
        self.resize(static_cast<std::size_t>(length));
        const std::string dir = self.substr(0, self.find_last_of('/') + 1);
        paths.push_back(dir + file);
        paths.push_back(dir + "../lib/sorvel/" + file);
    }
#ifdef SORVEL_MODULE_DIR_BUILT
    paths.push_back(std::string(SORVEL_MODULE_DIR_BUILT) + "/" + file);
#endif
    return paths;
}

// Opens the module and returns its table (checked by `accept`), or null with `error`
// naming what is missing.
template <typename Api>
const Api* load(const ModuleInfo& info, const char* entryName, std::string& error)
{
    std::string detail;
    bool found = false;
    for (const std::string& path : candidates(info.file)) {
        if (::access(path.c_str(), R_OK) != 0)
            continue;
        found = true;
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            detail += std::string("\n  ") + ::dlerror();
            continue;
        }
        using Entry = const Api* (*)();
        auto entry = reinterpret_cast<Entry>(::dlsym(module, entryName));
        const Api* api = entry ? entry() : nullptr;
        if (api && api->version == kDecodeApiVersion)
            return api;  // kept open for the life of the program
        detail += "\n  " + path + ": not this program's module";
        ::dlclose(module);
    }
    // A module that is there but does not open lacks a library it links.
    error = found ? std::string(info.library) : std::string(info.file);
    std::fprintf(stderr, "sorvel: the decoding module %s %s%s\n", info.file,
                 found ? "did not open" : "was not found", detail.c_str());
    return nullptr;
}

struct Slot {
    std::once_flag once;
    const void* api = nullptr;
    std::string error;  // written once, under `once`
};

Slot g_slots[kDecoderKinds];
Slot g_fft;
Slot g_resample;

} // namespace

void UseModuleFolder(const std::string& folder)
{
    g_onlyFolder = folder;
}

const char* ModuleFileName(DecoderKind kind)
{
    return kModules[static_cast<int>(kind)].file;
}

const char* ModuleLibraryName(DecoderKind kind)
{
    return kModules[static_cast<int>(kind)].library;
}

const DecodeApi* DecodeModule(DecoderKind kind)
{
    const ModuleInfo& info = kModules[static_cast<int>(kind)];
    if (!info.file)
        return nullptr;
    Slot& slot = g_slots[static_cast<int>(kind)];
    std::call_once(slot.once, [&] { slot.api = load<DecodeApi>(info, kDecodeEntry, slot.error); });
    return static_cast<const DecodeApi*>(slot.api);
}

const FftApi* FftModule()
{
    std::call_once(g_fft.once, [] { g_fft.api = load<FftApi>(kFft, kFftEntry, g_fft.error); });
    return static_cast<const FftApi*>(g_fft.api);
}

const ResampleApi* ResampleModule()
{
    std::call_once(g_resample.once,
                   [] { g_resample.api = load<ResampleApi>(kResample, kResampleEntry, g_resample.error); });
    return static_cast<const ResampleApi*>(g_resample.api);
}

std::string ModuleError(DecoderKind kind)
{
    DecodeModule(kind);
    return g_slots[static_cast<int>(kind)].error;
}

std::string ResampleModuleError()
{
    ResampleModule();
    return g_resample.error;
}

} // namespace fsound
