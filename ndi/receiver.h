#pragma once
// One receiver's connection: a bounded queue of whole stream packets, written as fast as the
// receiver reads them and never waited for. Used by the network thread only.

#include "ndi/listener.h"
#include "ndi/packet_pool.h"
#include "ndi/recent_bytes.h"
#include "ndi/unique_fd.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace vantor::ndi {

class Receiver {
public:
    static constexpr size_t kQueuePackets = 8;
    static constexpr size_t kQueueBytes = 64u << 20;  // one whole 4096 x 2160 frame at a time
    // Receivers send nothing; a peer that sends more than this is not one.
    static constexpr size_t kInputLimitBytes = 8192;

    Receiver(UniqueFd socket, const PeerAddress& peer, int64_t now_ns);

    int fd() const { return socket_.get(); }
    const PeerAddress& peer() const { return peer_; }

    // True until the receiver has been given a key frame of the current stream.
    bool needs_key_frame = true;

    // Whether a packet of `bytes` would be queued now.
    bool HasRoomFor(size_t bytes) const;
    // Queues a packet; false when the queue is full, the receiver being that far behind.
    bool Enqueue(Packet packet, int64_t now_ns);
    // Forgets every queued packet but one already partly sent, whose rest must still go out so
    // that the stream stays whole.
    void DropBacklog();
    bool HasOutput() const { return count_ > 0; }

    // Writes what the connection takes now. False when the connection has failed.
    bool WriteSome(int64_t now_ns);
    // Bytes written since the last call.
    uint64_t TakeSentBytes() { return std::exchange(sent_bytes_, 0); }
    // Reads and forgets whatever the receiver sent. False when it has gone, or has sent more
    // than kInputLimitBytes in all.
    bool DiscardInput();
    // Output has been waiting for longer than `limit_ns` without a byte going out.
    bool StalledLongerThan(int64_t limit_ns, int64_t now_ns) const;
    // Everything queued so far (its header and first key frame) is the receiver's join: bytes
    // its peer accepts after the join count as taken. Only the first call counts.
    void EndJoin();
    bool join_queued() const { return join_queued_; }
    // Looks at what the peer has accepted (acknowledged) of what was written: the socket's
    // queue of bytes not yet accepted. Called on every pass of the network thread.
    void LookAtPeer(int64_t now_ns);
    // Bytes wait for the peer and it has accepted none of them for longer than `limit_ns`,
    // whatever the kernel's buffers on this side still take: a peer that does not read.
    bool PeerStillFor(int64_t limit_ns, int64_t now_ns) const;
    // Since when the peer has accepted nothing while bytes wait for it; the latest look when
    // nothing waits.
    int64_t peer_still_since_ns() const { return last_accepted_ns_; }
    // Bytes of the stream the peer accepted lately, after its join: a receiver that reads
    // accepts every frame, however far behind, one that does not accepts nothing once its
    // buffers are full, and one that has just joined has accepted little yet.
    uint64_t TakenRecently(int64_t now_ns) const { return taken_.Total(now_ns); }

private:
    void PopFront();
    // `sent` more bytes have been written: the part of them that belongs to the join.
    void CountJoinOut(size_t sent);

    UniqueFd socket_;
    PeerAddress peer_;
    std::array<Packet, kQueuePackets> queue_;
    size_t front_ = 0;
    size_t count_ = 0;
    size_t queued_bytes_ = 0;
    size_t front_sent_bytes_ = 0;
    int64_t last_progress_ns_;  // last byte out, or when output began to wait
    bool join_queued_ = false;  // EndJoin was called
    size_t join_left_bytes_ = 0;  // of the join, still to go out
    size_t input_bytes_ = 0;    // read from the peer in all
    uint64_t written_bytes_ = 0;   // handed to the socket in all
    uint64_t join_end_bytes_ = kJoinNotOut;  // where the join ends in what was written
    uint64_t accepted_bytes_ = 0;  // of those, accepted by the peer at the latest look
    bool peer_behind_ = false;     // bytes waited for the peer at the latest look
    int64_t last_accepted_ns_;     // the peer last accepted a byte, or had nothing waiting
    RecentBytes taken_;            // accepted after the join
    uint64_t sent_bytes_ = 0;      // written since the last TakeSentBytes

    static constexpr uint64_t kJoinNotOut = UINT64_MAX;
};

}  // namespace vantor::ndi
