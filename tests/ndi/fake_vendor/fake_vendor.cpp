#include "fake_vendor.h"

#include <filesystem>
#include <fstream>

namespace vantor::test {

std::string InstallFakeRuntime(FakeVariant variant, const std::string& folder, const std::string& file_name)
{
    const char* built[] = {FAKE_NDI_COMPLETE_PATH, FAKE_NDI_WITHOUT_SEND_VIDEO_PATH, FAKE_NDI_INITIALIZE_FAILS_PATH,
                           FAKE_NDI_NULL_VERSION_PATH};
    const std::filesystem::path copy = std::filesystem::path(folder) / file_name;
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(built[int(variant)], copy, std::filesystem::copy_options::overwrite_existing);
    return copy.string();
}

std::vector<std::string> RecordedCalls(const std::string& log_path)
{
    std::vector<std::string> calls;
    std::ifstream log(log_path);
    for (std::string line; std::getline(log, line);)
        calls.push_back(line);
    return calls;
}

}  // namespace vantor::test
