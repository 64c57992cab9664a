#pragma once
// The fake vendor runtime as tests use it: a variant installed under the vendor's file name in a
// folder of the test, and the calls it recorded, one line each.

#include <string>
#include <vector>

namespace vantor::test {

enum class FakeVariant { kComplete, kWithoutSendVideo, kInitializeFails, kNullVersion };

inline constexpr char kFakeLogVariable[] = "FAKE_NDI_LOG";  // names the file of recorded calls
inline constexpr char kFakeVersion[] = "Fake vendor NDI runtime 6.1.2";

// Copies the variant to folder/file_name (the folder is made when missing); the copy's path.
std::string InstallFakeRuntime(FakeVariant variant, const std::string& folder, const std::string& file_name);

// The recorded calls in order; none when the fake never wrote its log.
std::vector<std::string> RecordedCalls(const std::string& log_path);

}  // namespace vantor::test
