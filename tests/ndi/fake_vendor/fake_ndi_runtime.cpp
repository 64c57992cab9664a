// A stand-in for the vendor's NDI runtime, for tests only: a shared library that exports the
// seven operations as plain C symbols. It reads every record at the byte offsets that C gives the
// vendor's records on x86-64, independently of our header, and writes what it read, one line a
// call, to the file named by FAKE_NDI_LOG. Variants: FAKE_NDI_WITHOUT_SEND_VIDEO lacks one symbol;
// FAKE_NDI_INITIALIZE_FAILS cannot run; FAKE_NDI_NULL_VERSION answers its version with null.

#include "fake_vendor.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>
#include <thread>

namespace {

char sender;  // the one sender's handle

template <typename T>
T At(const void* record, size_t offset)
{
    T value;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
    return value;
}

const char* Text(const char* text) { return text ? text : "(null)"; }

template <typename... Parts>
void Record(const Parts&... parts)
{
    std::ostringstream line;
    (line << ... << parts);
    if (const char* path = std::getenv(vantor::test::kFakeLogVariable))
        std::ofstream(path, std::ios::app) << line.str() << '\n';
}

}  // namespace

extern "C" {

bool NDIlib_initialize()
{
    Dl_info self{};
    dladdr(reinterpret_cast<void*>(&NDIlib_initialize), &self);
    Record("initialize from=", Text(self.dli_fname));
#ifdef FAKE_NDI_INITIALIZE_FAILS
    return false;
#else
    return true;
#endif
}

void NDIlib_destroy() { Record("destroy"); }

#ifdef FAKE_NDI_NULL_VERSION
const char* NDIlib_version() { return nullptr; }
#else
const char* NDIlib_version() { return vantor::test::kFakeVersion; }
#endif

void* NDIlib_send_create(const void* settings)
{
    Record("send_create name=", Text(At<const char*>(settings, 0)), " groups=", Text(At<const char*>(settings, 8)),
           " clock_video=", At<bool>(settings, 16), " clock_audio=", At<bool>(settings, 17));
    return &sender;
}

void NDIlib_send_destroy(void*) { Record("send_destroy"); }

void NDIlib_send_add_connection_metadata(void*, const void* metadata)
{
    const int32_t length = At<int32_t>(metadata, 0);
    Record("metadata length=", length, " timecode=", At<int64_t>(metadata, 8),
           " text=", std::string_view(At<const char*>(metadata, 16), size_t(length)));
}

#ifndef FAKE_NDI_WITHOUT_SEND_VIDEO
void NDIlib_send_send_video_v2(void*, const void* frame)
{
    const uint32_t fourcc = At<uint32_t>(frame, 8);
    const int32_t rate_N = At<int32_t>(frame, 12);
    const int32_t rate_D = At<int32_t>(frame, 16);
    Record("send_video ", At<int32_t>(frame, 0), "x", At<int32_t>(frame, 4),
           " FourCC=", std::string_view(reinterpret_cast<const char*>(&fourcc), 4), " rate=", rate_N, "/", rate_D,
           " aspect=", At<float>(frame, 20), " format=", At<int32_t>(frame, 24), " timecode=", At<int64_t>(frame, 32),
           " p_data=", At<const void*>(frame, 40) ? "set" : "(null)", " stride=", At<int32_t>(frame, 48),
           " p_metadata=", Text(At<const char*>(frame, 56)), " timestamp=", At<int64_t>(frame, 64));
    // Paced roughly to the frame rate, as the vendor's runtime paces a clocked sender.
    if (rate_N > 0 && rate_D > 0)
        std::this_thread::sleep_for(std::chrono::nanoseconds(int64_t(1'000'000'000) * rate_D / rate_N));
}
#endif

}  // extern "C"
