#include "control/token_throttle.h"

#include "control/peer_group.h"

#include <QElapsedTimer>

#include <cstdio>

namespace vantor {
namespace {

// Groups remembered before the quiet ones are forgotten: many groups cost no more.
constexpr qsizetype kMaxRecords = 1024;

qint64 SteadyMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

void ToStandardError(const QString& line) { std::fprintf(stderr, "%s\n", qPrintable(line)); }

}  // namespace

TokenThrottle::TokenThrottle() : TokenThrottle(SteadyMs, ToStandardError) {}

TokenThrottle::TokenThrottle(Clock now, Say say) : now_(std::move(now)), say_(std::move(say)) {}

qint64 TokenThrottle::Refused(const QHostAddress& peer) const
{
    const auto record = records_.find(PeerGroupOf(peer));
    const qint64 now = now_();
    return record == records_.end() || now >= record->refused_until ? 0 : record->refused_until - now;
}

bool TokenThrottle::CountWrong(const QHostAddress& peer)
{
    if (records_.size() >= kMaxRecords)
        ForgetQuietGroups();
    const QHostAddress group = PeerGroupOf(peer);
    Record& record = records_[group];
    const qint64 now = now_();
    const bool flooded = Flooded(now);
    all_wrong_.push_back(now);
    if (all_wrong_.size() > size_t(kMaxWrongTokensAll))
        all_wrong_.pop_front();
    record.wrong.push_back(now);
    while (record.wrong.front() <= now - kTokenWindow_ms)
        record.wrong.pop_front();
    const QString words = PeerGroupWords(group);
    if (flooded) {
        SayOnce(said_flood_, QStringLiteral("Control API: more than %1 wrong tokens within a minute from all "
                                            "addresses: each further one refuses its address for a minute")
                                 .arg(kMaxWrongTokensAll));
    } else if (record.wrong.size() >= size_t(kMaxWrongTokens)) {
        say_(QStringLiteral("Control API: %1 gave %2 wrong tokens within a minute: its requests are refused for a minute")
                 .arg(words)
                 .arg(kMaxWrongTokens));
    } else {
        SayOnce(record.said, QStringLiteral("Control API: a wrong token from %1").arg(words));
        return false;
    }
    record.refused_until = now + kTokenWindow_ms;
    record.wrong.clear();
    return true;
}

bool TokenThrottle::Flooded(qint64 now) const
{
    return all_wrong_.size() == size_t(kMaxWrongTokensAll) && all_wrong_.front() > now - kTokenWindow_ms;
}

void TokenThrottle::SayOnce(std::optional<qint64>& said, const QString& line)
{
    const qint64 now = now_();
    if (said && now - *said < kTokenWindow_ms)
        return;
    said = now;
    say_(line);
}

void TokenThrottle::ForgetQuietGroups()
{
    const qint64 now = now_();
    for (auto it = records_.begin(); it != records_.end();) {
        const bool quiet = now >= it->refused_until && (it->wrong.empty() || it->wrong.back() <= now - kTokenWindow_ms);
        it = quiet ? records_.erase(it) : std::next(it);
    }
}

}  // namespace vantor
