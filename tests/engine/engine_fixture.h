#pragma once
// An engine with no window over the real runtime, recording every message it broadcasts.

#include "engine/engine.h"
#include "engine/engine_constants.h"
#include "ndi/extensions.h"

#include "support/spin_until.h"

#include <gtest/gtest.h>

#include <mutex>
#include <utility>
#include <vector>

namespace vantor::test {

struct Broadcasts {
    std::vector<std::pair<uint32_t, intptr_t>> Take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(sent, {});
    }
    size_t Count()
    {
        std::lock_guard lock(mutex);
        return sent.size();
    }
    std::vector<intptr_t> TakePositions()
    {
        std::vector<intptr_t> positions;
        for (const auto& [code, payload] : Take())
            if (code == kSyncPosition)
                positions.push_back(payload);
        return positions;
    }
    std::mutex mutex;
    std::vector<std::pair<uint32_t, intptr_t>> sent;  // written by both threads
};

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(engine.Startup(), StartupResult::kReady);
        ASSERT_TRUE(NDIlib_extensions_available())
            << "the vendor's NDI runtime runs, and these tests watch the built-in one's streams: "
               "run them with NDIVANTOR_RUNTIME=builtin, as ctest does";
        engine.SetHooks({[this] { return master; },
                         [this](uint32_t code, intptr_t payload) {
                             std::lock_guard lock(broadcasts.mutex);
                             broadcasts.sent.emplace_back(code, payload);
                         },
                         {}});
    }
    void TearDown() override { engine.StopSending(); }

    OverlayState overlay;
    PlaybackState playback;
    Engine engine{overlay, playback, nullptr};
    Broadcasts broadcasts;
    bool master = false;
};

}  // namespace vantor::test
