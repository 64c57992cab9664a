#include "control/connection_guard.h"

#include "control/connection_watch.h"
#include "control/peer_group.h"
#include "control/request_head.h"

#include <QHash>
#include <QTcpSocket>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace vantor {

ConnectionGuard::ConnectionGuard(TokenGate& gate, QObject* parent) : QTcpServer(parent), gate_(gate)
{
    // Connections opened faster than they are taken wait in the kernel, not dropped: a dropped
    // one is tried again only a second later.
    setListenBacklogSize(kListenBacklog);
}

bool ConnectionGuard::TakeUploadPlace(const QTcpSocket& socket)
{
    if (uploader_ && uploader_ != &socket)
        return false;
    uploader_ = &socket;
    return true;
}

void ConnectionGuard::GiveUploadPlace(const QTcpSocket& socket)
{
    if (uploader_ == &socket)
        uploader_ = nullptr;
}

void ConnectionGuard::incomingConnection(qintptr descriptor)
{
    auto socket = std::make_unique<QTcpSocket>();
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(int(descriptor));
        return;
    }
    const QHostAddress peer = socket->peerAddress(), group = PeerGroupOf(peer);
    const bool crowded = int(places_.size()) >= kMaxConnections || WaitingOf(group) >= kMaxWaitingPerGroup;
    if (crowded && !MakeWay(group, HeadShowsToken(int(descriptor), peer)))
        return;  // closed with the socket
    QTcpSocket* kept = socket.release();
    kept->setParent(this);
    auto* watch = new ConnectionWatch(*kept, *this);
    places_.push_back({kept, watch, group});
    // The watch's own signal: the HTTP server cuts every connection of a socket it cannot parse.
    connect(watch, &QObject::destroyed, this, [this, kept] {
        std::erase_if(places_, [kept](const Place& place) { return place.socket == kept; });
        GiveUploadPlace(*kept);
    });
    addPendingConnection(kept);
}

bool ConnectionGuard::MakeWay(const QHostAddress& group, bool authorised)
{
    if (!authorised && WaitingOf(group) >= kMaxWaitingPerGroup) {
        const auto own = std::find_if(places_.begin(), places_.end(), [&](const Place& p) {
            return p.group == group && !p.watch->authorised();
        });
        GiveUp(size_t(own - places_.begin()));
    }
    if (int(places_.size()) < kMaxConnections)
        return true;
    auto place = WaitingPlace(authorised ? std::nullopt : std::optional(group));
    if (!place && authorised)
        place = IdleOperatorPlace();
    if (!place)
        return false;
    GiveUp(*place);
    return true;
}

std::optional<size_t> ConnectionGuard::WaitingPlace(const std::optional<QHostAddress>& group) const
{
    const auto refused = std::find_if(places_.begin(), places_.end(), [](const Place& p) { return p.watch->closing(); });
    if (refused != places_.end())
        return size_t(refused - places_.begin());
    QHash<QHostAddress, qsizetype> waiting;
    qsizetype most = 0;
    for (const Place& place : places_)
        if (!place.watch->authorised())
            most = std::max(most, ++waiting[place.group]);
    if (most == 0 || (group && waiting.value(*group) + 1 >= most))
        return std::nullopt;
    const auto oldest = std::find_if(places_.begin(), places_.end(), [&](const Place& p) {
        return !p.watch->authorised() && waiting.value(p.group) == most;
    });
    return size_t(oldest - places_.begin());
}

std::optional<size_t> ConnectionGuard::IdleOperatorPlace() const
{
    const auto idle = std::find_if(places_.begin(), places_.end(), [](const Place& p) { return !p.watch->busy(); });
    return idle == places_.end() ? std::nullopt : std::optional(size_t(idle - places_.begin()));
}

qsizetype ConnectionGuard::WaitingOf(const QHostAddress& group) const
{
    return std::count_if(places_.begin(), places_.end(),
                         [&](const Place& p) { return p.group == group && !p.watch->authorised(); });
}

bool ConnectionGuard::HeadShowsToken(int descriptor, const QHostAddress& peer)
{
    peeked_.resize(kMaxHeaderBytes);
    const ssize_t got = ::recv(descriptor, peeked_.data(), size_t(peeked_.size()), MSG_PEEK | MSG_DONTWAIT);
    if (got <= 0)
        return false;
    RequestFraming framing;
    const auto taken = framing.TakeHead(QByteArrayView(peeked_).first(got));
    return taken.head && gate_.Admits(peer, taken.head->authorization);
}

void ConnectionGuard::GiveUp(size_t place)
{
    ConnectionWatch* watch = places_[place].watch;
    places_.erase(places_.begin() + std::ptrdiff_t(place));
    watch->Close();
}

}  // namespace vantor
