// A stand-in for the vendor's NDI runtime, for tests only: a shared library that exports the
// seven operations as plain C symbols. It reads every record at the byte offsets that C gives the
// vendor's records on x86-64, independently of our header, and writes what it read, one line a
// call ("operation<TAB>field=value<TAB>..."), to the file named by FAKE_NDI_LOG. Variants:
// FAKE_NDI_WITHOUT_SEND_VIDEO lacks one symbol; FAKE_NDI_INITIALIZE_FAILS cannot run.

#include "fake_vendor.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

namespace {

struct FakeSender {
    bool clock_video = false;
};

template <typename T>
T At(const void* record, size_t offset)
{
    T value;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
    return value;
}

std::string Text(const char* text) { return text ? text : "(null)"; }

std::string Field(const char* name, const std::string& value) { return std::string("\t") + name + "=" + value; }

std::string Field(const char* name, int64_t value) { return Field(name, std::to_string(value)); }

void Record(const std::string& line)
{
    if (const char* path = std::getenv(vantor::test::kFakeLogVariable))
        if (std::FILE* log = std::fopen(path, "a")) {
            std::fwrite(line.data(), 1, line.size(), log);
            std::fputc('\n', log);
            std::fclose(log);
        }
}

}  // namespace

extern "C" {

bool NDIlib_initialize()
{
    Dl_info self{};
    dladdr(reinterpret_cast<void*>(&NDIlib_initialize), &self);
    Record("initialize" + Field("from", Text(self.dli_fname)));
#ifdef FAKE_NDI_INITIALIZE_FAILS
    return false;
#else
    return true;
#endif
}

void NDIlib_destroy() { Record("destroy"); }

const char* NDIlib_version() { return vantor::test::kFakeVersion; }

void* NDIlib_send_create(const void* settings)
{
    const bool clock_video = At<bool>(settings, 16);
    Record("send_create" + Field("name", Text(At<const char*>(settings, 0))) +
           Field("groups", Text(At<const char*>(settings, 8))) + Field("clock_video", clock_video) +
           Field("clock_audio", At<bool>(settings, 17)));
    return std::make_unique<FakeSender>(FakeSender{clock_video}).release();
}

void NDIlib_send_destroy(void* sender)
{
    std::unique_ptr<FakeSender> gone(static_cast<FakeSender*>(sender));
    Record("send_destroy");
}

void NDIlib_send_add_connection_metadata(void*, const void* metadata)
{
    const int32_t length = At<int32_t>(metadata, 0);
    Record("metadata" + Field("length", length) + Field("timecode", At<int64_t>(metadata, 8)) +
           Field("text", std::string(At<const char*>(metadata, 16), size_t(length))));
}

#ifndef FAKE_NDI_WITHOUT_SEND_VIDEO
void NDIlib_send_send_video_v2(void* sender, const void* frame)
{
    const uint32_t fourcc = At<uint32_t>(frame, 8);
    const int32_t rate_N = At<int32_t>(frame, 12);
    const int32_t rate_D = At<int32_t>(frame, 16);
    Record("send_video" + Field("xres", At<int32_t>(frame, 0)) + Field("yres", At<int32_t>(frame, 4)) +
           Field("FourCC", std::string(reinterpret_cast<const char*>(&fourcc), 4)) +
           Field("frame_rate", std::to_string(rate_N) + "/" + std::to_string(rate_D)) +
           Field("aspect", std::to_string(At<float>(frame, 20))) + Field("format", At<int32_t>(frame, 24)) +
           Field("timecode", At<int64_t>(frame, 32)) +
           Field("p_data", int64_t(reinterpret_cast<uintptr_t>(At<const void*>(frame, 40)))) +
           Field("stride", At<int32_t>(frame, 48)) + Field("p_metadata", Text(At<const char*>(frame, 56))) +
           Field("timestamp", At<int64_t>(frame, 64)));
    // The vendor's runtime paces a clocked sender to the frame rate; so does this one, roughly.
    if (static_cast<FakeSender*>(sender)->clock_video && rate_N > 0 && rate_D > 0)
        std::this_thread::sleep_for(std::chrono::nanoseconds(int64_t(1'000'000'000) * rate_D / rate_N));
}
#endif

}  // extern "C"
