#pragma once
// Decoding picture files away from the user-interface thread: a picture of 12000 x 12000 takes
// seconds to decode, and the window, the control API and its page must go on answering
// meanwhile. One file at a time, on a thread of its own; the result comes back to this object's
// thread through its event loop, where the caller installs it under the list's guard as before.

#include "imagery/decode_thread.h"
#include "imagery/memory_gauge.h"
#include "imagery/regular_file.h"
#include "imagery/rgba_image.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace vantor {

class PictureDecodeAside : public QObject {
public:
    // `picture` holds the file's path and name, and its pixels when `loaded`.
    using Done = std::function<void(RgbaImage& picture, bool loaded)>;

    explicit PictureDecodeAside(MemoryGauge memory = AvailableMemoryBytes, QObject* parent = nullptr);

    // Decodes the file aside; `done` runs later on this object's thread, unless Cancel (or a
    // later Decode) comes first. Files decode one after another, so that two never hold their
    // peaks at once: the memory rule measures one load against what the machine can give.
    // `open` opens the file, on the decoding thread.
    void Decode(const QString& path, Done done, FileOpener open = OpenRegularFile);
    void Cancel();
    // A decode has been asked for and its `done` has not run yet.
    bool busy() const { return static_cast<bool>(done_); }

private:
    void Deliver(uint64_t ticket, RgbaImage& picture, bool loaded);

    MemoryGauge memory_;
    uint64_t ticket_ = 0;  // of the decode whose result is awaited
    Done done_;
    DecodeThread thread_;  // going, gives up a decode under way, whose result is dropped
};

// For callers that need the picture before they go on (the window's dialogs): decodes the file
// aside and waits for it with the event loop running, user input left out, so that the copy
// goes on answering (its control API, its page, its timers) meanwhile. The same result as
// image.LoadFromFile(path, memory), which it leaves unchanged when the file does not load.
bool LoadFromFileAside(RgbaImage& image, const QString& path, const MemoryGauge& memory = AvailableMemoryBytes);

// The waits of LoadFromFileAside begun so far, and those not ended yet, on the user-interface
// thread: the window's test control acts on the window only between them, as an operator would.
struct AsideWaits {
    uint64_t begun = 0;
    int open = 0;
};
AsideWaits AsideWaitsNow();

}  // namespace vantor
