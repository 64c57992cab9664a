#include "fake_vendor.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vantor::test {
namespace {

const char* Built(FakeVariant variant)
{
    switch (variant) {
    case FakeVariant::kComplete: return FAKE_NDI_COMPLETE_PATH;
    case FakeVariant::kWithoutSendVideo: return FAKE_NDI_WITHOUT_SEND_VIDEO_PATH;
    case FakeVariant::kInitializeFails: return FAKE_NDI_INITIALIZE_FAILS_PATH;
    }
    return "";
}

}  // namespace

std::string InstallFakeRuntime(FakeVariant variant, const std::string& folder, const std::string& file_name)
{
    const std::filesystem::path copy = std::filesystem::path(folder) / file_name;
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(Built(variant), copy, std::filesystem::copy_options::overwrite_existing);
    return copy.string();
}

std::vector<RecordedCall> RecordedCalls(const std::string& log_path)
{
    std::vector<RecordedCall> calls;
    std::ifstream log(log_path);
    for (std::string line; std::getline(log, line);) {
        std::istringstream parts(line);
        RecordedCall call;
        std::getline(parts, call.operation, '\t');
        for (std::string field; std::getline(parts, field, '\t');)
            if (const size_t eq = field.find('='); eq != std::string::npos)
                call.fields[field.substr(0, eq)] = field.substr(eq + 1);
        calls.push_back(std::move(call));
    }
    return calls;
}

}  // namespace vantor::test
