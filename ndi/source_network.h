#pragma once
// The network side of a source: one thread that accepts receivers, keeps the picture receivers
// show up to date from the frames the caller publishes, muxes each frame once and queues it to
// every receiver, makes key frames for receivers that join or fall behind, and drops receivers
// that fail, vanish or stay stalled. The caller never waits on any of it.

#include "ndi/frame_mailbox.h"
#include "ndi/listener.h"
#include "ndi/matroska_muxer.h"
#include "ndi/packet_pool.h"
#include "ndi/picture.h"
#include "ndi/receiver.h"
#include "ndi/unique_fd.h"

#include <poll.h>

#include <atomic>
#include <cstdint>
#include <span>
#include <thread>
#include <vector>

namespace vantor::ndi {

inline constexpr size_t kMaxReceivers = 16;
// A receiver whose output makes no progress for this long is dropped.
inline constexpr int64_t kStallLimitNs = 2'000'000'000;

class SourceNetwork {
public:
    // Listens on the first free port; the thread runs when that succeeded.
    explicit SourceNetwork(FrameMailbox& mailbox);
    // Closes the listener and every connection at once.
    ~SourceNetwork();
    SourceNetwork(const SourceNetwork&) = delete;
    SourceNetwork& operator=(const SourceNetwork&) = delete;

    bool listening() const { return thread_.joinable(); }
    uint16_t port() const { return listener_.port(); }

    // Tells the thread that frames wait in the mailbox. Called by the sender's caller.
    void Wake();

private:
    void Run();
    void AcceptReceivers(int64_t now_ns);
    void TakeFrames(int64_t now_ns);
    void StartStream(const StreamDescription& description, int64_t now_ns);
    void Distribute(const FrameEvent& frame, int64_t now_ns);
    Packet KeyFrameCluster();
    void GiveKeyFrame(Receiver& receiver, int64_t now_ns);
    void ServiceReceivers(std::span<const pollfd> polled, int64_t now_ns);

    FrameMailbox& mailbox_;
    Listener listener_;
    UniqueFd wake_;                       // eventfd: written by the caller, read by the thread
    std::atomic<bool> stopping_{false};  // written by the destroying thread, read by the thread

    // The rest belongs to the network thread alone.
    std::vector<Receiver> receivers_;
    std::vector<pollfd> poll_set_;
    PacketPool pool_;
    MatroskaMuxer muxer_;
    Packet header_;               // of the current stream; null before the first frame
    Picture shown_;               // what receivers show after the latest frame
    bool have_frame_ = false;     // the current stream has had a frame
    int64_t latest_index_ = 0;    // slot of the latest frame
    ByteBuffer key_frame_;        // the picture shown, as a key frame, when current
    bool key_frame_current_ = false;
    Packet key_cluster_;          // key_frame_ muxed at key_cluster_index_
    int64_t key_cluster_index_ = -1;

    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace vantor::ndi
