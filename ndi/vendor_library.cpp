#include "ndi/vendor_library.h"

#include <dlfcn.h>
#include <link.h>

#include <string_view>

namespace vantor::ndi {
namespace {

// "file: reason", whether the loader's own words name the file or one of its dependencies.
std::string LoaderError(const std::string& file)
{
    const char* error = dlerror();
    std::string_view reason = error ? error : "not loaded";
    if (reason.starts_with(file + ": "))
        reason.remove_prefix(file.size() + 2);
    return file + ": " + std::string(reason);
}

// The file the loader chose: for a bare name, the folder the system's search found it in.
std::string LoadedPath(void* handle, const std::string& file)
{
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name)
        return map->l_name;
    return file;
}

}  // namespace

void VendorLibrary::Closer::operator()(void* handle) const
{
    dlclose(handle);
}

VendorLibrary::VendorLibrary(Handle handle, const VendorSymbols& symbols, std::string path)
    : handle_(std::move(handle)), symbols_(symbols), path_(std::move(path))
{
}

const char* VendorLibrary::Version() const
{
    const char* text = symbols_.version();
    return text ? text : "";
}

VendorLibrary::Opening VendorLibrary::Open(const std::string& file)
{
    // Local: the vendor's symbols never stand in for anyone else's.
    Handle handle(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle)
        return {false, nullptr, LoaderError(file)};

    VendorSymbols symbols;
    std::string missing;
    const auto find = [&]<typename Fn>(Fn*& slot, const char* name) {
        slot = reinterpret_cast<Fn*>(dlsym(handle.get(), name));
        if (!slot)
            missing += (missing.empty() ? "" : ", ") + std::string(name);
    };
    find(symbols.initialize, "NDIlib_initialize");
    find(symbols.destroy, "NDIlib_destroy");
    find(symbols.version, "NDIlib_version");
    find(symbols.send_create, "NDIlib_send_create");
    find(symbols.send_destroy, "NDIlib_send_destroy");
    find(symbols.send_add_connection_metadata, "NDIlib_send_add_connection_metadata");
    find(symbols.send_send_video_v2, "NDIlib_send_send_video_v2");

    std::string path = LoadedPath(handle.get(), file);
    if (!missing.empty())
        return {true, nullptr, path + " lacks " + missing};
    return {true, std::make_unique<VendorLibrary>(std::move(handle), symbols, std::move(path)), {}};
}

}  // namespace vantor::ndi
