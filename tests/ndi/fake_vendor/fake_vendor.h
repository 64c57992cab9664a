#pragma once
// The fake vendor runtime as tests use it: a variant installed under the vendor's file name in a
// folder of the test, and the calls it recorded in its log.

#include <map>
#include <string>
#include <vector>

namespace vantor::test {

enum class FakeVariant { kComplete, kWithoutSendVideo, kInitializeFails };

// The environment variable naming the file the fake records its calls in.
inline constexpr char kFakeLogVariable[] = "FAKE_NDI_LOG";
inline constexpr char kFakeVersion[] = "Fake vendor NDI runtime 6.1.2";

// Copies the variant to folder/file_name (the folder is made when missing); the copy's path.
std::string InstallFakeRuntime(FakeVariant variant, const std::string& folder, const std::string& file_name);

struct RecordedCall {
    std::string operation;
    std::map<std::string, std::string> fields;

    bool operator==(const RecordedCall&) const = default;
};

// The calls in the log, in order; none when the fake never wrote it.
std::vector<RecordedCall> RecordedCalls(const std::string& log_path);

}  // namespace vantor::test
