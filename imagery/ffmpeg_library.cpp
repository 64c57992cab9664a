#include "imagery/ffmpeg_library.h"

#include <cstdio>
#include <iterator>
#include <dlfcn.h>
#include <optional>

namespace vantor {
namespace {

#define VANTOR_TEXT(x) #x
#define VANTOR_SONAME(lib, major) "lib" lib ".so." VANTOR_TEXT(major)

// Each after the ones it needs, by the names of the major versions built against.
constexpr const char* kLibraries[] = {
    VANTOR_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
    VANTOR_SONAME("swscale", LIBSWSCALE_VERSION_MAJOR),
    VANTOR_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
    VANTOR_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR),
};

std::optional<FfmpegLibrary> Load()
{
    void* handles[std::size(kLibraries)] = {};
    for (size_t i = 0; i < std::size(kLibraries); ++i)
        if (!(handles[i] = dlopen(kLibraries[i], RTLD_NOW | RTLD_LOCAL))) {
            std::fprintf(stderr, "Movies cannot be read: %s\n", dlerror());
            return std::nullopt;
        }
    // Looked for in every library: each function lives in one of them. Never unloaded.
    const auto find = [&](const char* name) -> void* {
        for (void* handle : handles)
            if (void* found = dlsym(handle, name))
                return found;
        std::fprintf(stderr, "Movies cannot be read: FFmpeg's libraries lack %s\n", name);
        return nullptr;
    };
    FfmpegLibrary library;
    bool complete = true;
#define VANTOR_FFMPEG_FIND(name)                                                \
    library.name = reinterpret_cast<decltype(library.name)>(find(#name));       \
    complete = complete && library.name;
    VANTOR_FFMPEG_FUNCTIONS(VANTOR_FFMPEG_FIND)
#undef VANTOR_FFMPEG_FIND
    return complete ? std::optional(library) : std::nullopt;
}

}  // namespace

const FfmpegLibrary* LoadedFfmpeg()
{
    static const std::optional<FfmpegLibrary> library = Load();
    return library ? &*library : nullptr;
}

}  // namespace vantor
