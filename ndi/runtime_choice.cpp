#include "ndi/runtime_choice.h"

#include "ndi/builtin_runtime.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vantor::ndi {
namespace {

constexpr char kModeVariable[] = "NDIVANTOR_RUNTIME";
constexpr char kBuiltinMode[] = "builtin";
constexpr char kVendorMode[] = "vendor";

struct Place {
    const char* folder_variable;  // null: the system's library search
    const char* file;
};

// In the order searched. A folder is looked in for the file of its own major version.
constexpr Place kPlaces[] = {
    {"NDI_RUNTIME_DIR_V6", "libndi.so.6"},
    {"NDI_RUNTIME_DIR_V5", "libndi.so.5"},
    {nullptr, "libndi.so.6"},
    {nullptr, "libndi.so.5"},
};

// A relative folder is refused: the library would be taken from wherever the program was started.
std::vector<std::string> Candidates()
{
    std::vector<std::string> files;
    for (const Place& place : kPlaces) {
        if (!place.folder_variable) {
            files.emplace_back(place.file);
        } else if (const char* folder = std::getenv(place.folder_variable); folder && *folder == '/') {
            files.push_back(std::string(folder) + "/" + place.file);
        } else if (folder && *folder) {
            std::fprintf(stderr, "%s=%s is not an absolute folder: not searched\n", place.folder_variable, folder);
        }
    }
    return files;
}

struct Search {
    std::unique_ptr<VendorLibrary> library;  // initialised
    std::string problem;                     // why there is none
};

// The first library that loads decides. A faulty one is closed, not passed over for another
// copy further down, so the operator hears about the runtime they installed.
Search FindVendor()
{
    std::string tried;
    for (const std::string& file : Candidates()) {
        VendorLibrary::Opening opening = VendorLibrary::Open(file);
        if (opening.library && !opening.library->symbols().initialize())
            return {nullptr, opening.library->path() + ": its NDIlib_initialize failed"};
        if (opening.loaded)
            return {std::move(opening.library), std::move(opening.problem)};
        tried += (tried.empty() ? "" : "; ") + opening.problem;
    }
    return {nullptr, "no vendor runtime found (" + tried + ")"};
}

void Say(const std::string& line)
{
    std::fprintf(stderr, "NDI runtime: %s\n", line.c_str());
}

RuntimeChoice Builtin(const std::string& why)
{
    Say("built-in (" + why + ")");
    return {builtin::Initialize(), nullptr};
}

}  // namespace

RuntimeChoice ChooseRuntime()
{
    const char* value = std::getenv(kModeVariable);
    const std::string mode = value ? value : "";
    if (mode == kBuiltinMode)
        return Builtin(std::string(kModeVariable) + "=" + kBuiltinMode);
    if (!mode.empty() && mode != kVendorMode) {
        Say(std::string(kModeVariable) + " is \"" + mode + "\"; it can be " + kBuiltinMode + " or " + kVendorMode);
        return {};
    }
    Search found = FindVendor();
    if (found.library) {
        const std::string version = found.library->Version();
        Say(found.library->path() + " (" + (version.empty() ? "no version text" : version) + ")");
        return {true, std::move(found.library)};
    }
    if (mode == kVendorMode) {
        Say(std::string(kModeVariable) + "=" + kVendorMode + ", but " + found.problem);
        return {};
    }
    return Builtin(found.problem);
}

}  // namespace vantor::ndi
