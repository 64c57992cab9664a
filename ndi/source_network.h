#pragma once
// The network side of a source: one thread that accepts receivers, muxes each frame the caller
// publishes once and queues it to every receiver, asks the caller for a whole picture when a
// receiver joins or falls behind, and drops receivers that fail, vanish or stay stalled. It
// keeps no picture of its own: the caller's is the only one. The caller never waits on any of it.
//
// The ordinary frame does not go through the thread: when the thread is asleep, the frame is a
// delta and every receiver has written all it had, the caller's own thread, which keeps the
// frames' time, takes the frame, sends it to each receiver without blocking and looks at the
// peers now and then. What a socket does not take at once, and everything else, is left to the
// thread, which then sleeps until a connection, a read, a backlog or a stalled peer needs it.
//
// Places: up to kMaxReceivers connections are served. When all are taken, a new connection
// still gets the stream at once. A connection whose peer has accepted none of the bytes waiting
// for it for kPeerStillLimitNs is stalled and gives its place up first (the one stalled longest),
// whatever its address: what a peer has accepted is what its kernel acknowledged, so a peer that
// does not read stalls once its own buffers are full. Each joining connection is sent
// kJoinFillerBytes of filler after the header, more than a peer's buffers take unread, so one
// that does not read stalls at its join, even at a still picture whose frames are a few bytes
// each, which its buffers would otherwise go on taking for minutes. Otherwise the peer address
// that holds the most places, the new connection counted, gives one up, so a peer that opens
// connections again and again displaces only its own, however new the receivers of other peers
// are. Of that address's connections (of all, when every address holds as many) the one whose
// peer has accepted the least of the stream in the last two seconds goes (counted from when its
// join, the header, filler and first key frame, has gone out: one that joined lately has
// accepted less than those watching for longer), on equal terms the one whose peer has accepted
// nothing for the longest, then the latest connected. Connections are accepted a few at a time
// between frames, so a flood never holds frames up; an accept that fails for want of
// descriptors or memory leaves the listener alone for a while instead of waking the thread
// again and again.
//
// A receiver that waits for a key frame (one that joined, fell behind or lost a frame) skips
// deltas until the next whole picture, asked of the caller for the next frame as soon as such a
// receiver has room for it; from a caller that has sent no frame for kIdleSourceNs (stopped,
// holding its last picture) the thread takes the picture itself, when the caller is not sending. Every receiver is also given a whole picture at least every
// kKeyFrameIntervalNs, in place of that frame's delta, as live encoders do: a delta carries only
// the lines that changed, so a decoder that missed the join's key frame (one that drops its first
// packets, a recording started mid-stream) would otherwise never show a still logo. A whole
// picture goes to every receiver that has room for it, muxed once for all.
//
// Memory running short skips the frame for receivers, who go on from a whole picture; a stream
// the muxer can no longer write starts afresh.

#include "ndi/frame_mailbox.h"
#include "ndi/listener.h"
#include "ndi/matroska_muxer.h"
#include "ndi/packet_pool.h"
#include "ndi/receiver.h"
#include "ndi/unique_fd.h"
#include "ndi/video_format.h"

#include <poll.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace vantor::ndi {

inline constexpr size_t kMaxReceivers = 16;
// A receiver whose output makes no progress for this long, or whose peer accepts nothing of
// what waits for it for this long, is dropped.
inline constexpr int64_t kStallLimitNs = 2'000'000'000;
// A receiver whose peer accepts nothing of what waits for it for this long is stalled: the
// first to make way for a new one. A receiver that reads accepts within milliseconds.
inline constexpr int64_t kPeerStillLimitNs = 1'000'000'000;
// Connections accepted between two looks at the frames.
inline constexpr int kAcceptsPerPass = 4;
// Filler a joining connection is sent before its first key frame: more than a Debian machine's
// buffers take for a connection that does not read (128 kB, 416 kB at the largest buffer a
// peer may ask for), so such a peer stalls before it has joined; a receiver skips it in
// milliseconds.
inline constexpr size_t kJoinFillerBytes = 1u << 20;
// A caller that has sent no frame for this long is idle: receivers that wait for a key frame
// are given its picture by the network thread.
inline constexpr int64_t kIdleSourceNs = 100'000'000;
// Longest time between two key frames a receiver is given.
inline constexpr int64_t kKeyFrameIntervalNs = 2'000'000'000;
// Frames from one interval key frame to the next at that rate: never longer than the interval.
int64_t KeyFrameIntervalFrames(const VideoFormat& format);

class SourceNetwork {
public:
    // Begins a cluster and writes the caller's picture after it as a key frame; false when the
    // caller is sending (its next frame brings the picture) or has no picture of the stream.
    // May throw std::bad_alloc.
    using WholePicture = std::function<bool(ByteBuffer& cluster)>;

    // Listens on the first free port; the thread runs when that succeeded.
    SourceNetwork(FrameMailbox& mailbox, WholePicture whole_picture);
    // Closes the listener and every connection at once.
    ~SourceNetwork();
    SourceNetwork(const SourceNetwork&) = delete;
    SourceNetwork& operator=(const SourceNetwork&) = delete;

    bool listening() const { return thread_.joinable(); }
    uint16_t port() const { return listener_.port(); }
    // Receivers connected after the thread's latest pass; any thread.
    int32_t receiver_count() const { return receiver_count_.load(std::memory_order_relaxed); }
    // Bytes written to receivers so far; any thread.
    uint64_t bytes_sent() const { return bytes_sent_.load(std::memory_order_relaxed); }

    // Frames wait in the mailbox: sent from the calling thread when they can be at once, else
    // handed to the network thread. Called by the sender's caller.
    void Deliver();

private:
    void Wake();
    void Run();
    // How long the thread may sleep: briefly while output waits or the listener rests (stalls
    // are judged, the listener comes back), long otherwise.
    int BuildPollSet();
    // Whether the one frame waiting can go from the caller's thread: the stream runs, it is no
    // restart and no whole picture, and no receiver has output or awaits a key frame.
    bool FrameGoesAtOnce();
    // The caller's thread sends the frame; true when the network thread must look at what is
    // left (a backlog, a failed connection, a stalled peer).
    bool SendFrameAtOnce(int64_t now_ns);
    void AcceptReceivers(int64_t now_ns);
    // The receiver that gives its place up to a new one from `newcomer`.
    std::vector<Receiver>::iterator MakingWay(const PeerAddress& newcomer, int64_t now_ns);
    // The receiver whose peer has been stalled the longest; end() when none is.
    std::vector<Receiver>::iterator LongestStalled(int64_t now_ns);
    void TakeFrames(int64_t now_ns);
    void TakeFrame(FrameEvent& frame, int64_t now_ns);
    // Asks the caller for a whole picture when a key frame is due or a receiver waits for one
    // and has room for it.
    void AskForWholeFrameIfWanted();
    // The picture of a caller that sends no more frames, for the receivers that wait for it.
    void GiveIdleSourcesPicture(int64_t now_ns);
    // Receivers waiting for a whole picture that have room for one.
    bool WholePictureWaitedFor() const;
    // Starts the muxer's stream and gives every receiver its header; false when it cannot.
    bool StartMuxing(int64_t now_ns);
    // The muxer cannot write, or a frame was lost: receivers go on from a whole picture, of a
    // new stream when the muxer broke.
    void LoseFrame(bool muxer_broken);
    void Distribute(FrameEvent& frame, int64_t now_ns);
    // The stream's header, and for a receiver still joining the filler after it.
    void GiveHeader(Receiver& receiver, int64_t now_ns);
    void ServiceReceivers(std::span<const pollfd> polled, int64_t now_ns);
    void CountSentBytes(Receiver& receiver);

    FrameMailbox& mailbox_;
    const WholePicture whole_picture_;
    Listener listener_;
    UniqueFd wake_;                       // eventfd: written by the caller, read by the thread
    std::atomic<bool> stopping_{false};  // written by the destroying thread, read by the thread
    std::atomic<int32_t> receiver_count_{0};  // written by the thread after each pass
    std::atomic<uint64_t> bytes_sent_{0};     // written under mutex_

    // The rest is held under mutex_: by the network thread while it works, by the caller's
    // thread while it sends a frame at once (never waited for: when the thread has it, the
    // frame is handed over instead).
    std::mutex mutex_;
    std::vector<Receiver> receivers_;
    int64_t next_peer_look_ns_ = 0;       // when the caller's thread looks at the peers next
    std::vector<pollfd> poll_set_;
    int64_t listener_rest_until_ns_ = 0;  // the listener is not polled before then
    PacketPool pool_;
    MatroskaMuxer muxer_;
    StreamDescription description_;  // of the current stream
    Packet header_;               // of the muxer's stream; null when the muxer has none
    Packet join_filler_;          // kJoinFillerBytes of Void, made once
    int64_t latest_index_ = 0;    // slot of the latest frame
    int64_t latest_frame_ns_ = 0; // when the latest frame was taken
    int64_t next_key_index_ = 0;  // from this slot on, every receiver is due a whole picture

    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace vantor::ndi
