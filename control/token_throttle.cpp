#include "control/token_throttle.h"

#include <QElapsedTimer>

#include <cstdio>

namespace vantor {
namespace {

// Addresses remembered before the quiet ones are forgotten: many addresses cost no more.
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

qint64 TokenThrottle::Refused(const QHostAddress& peer)
{
    const auto record = records_.find(peer);
    const qint64 now = now_();
    if (record == records_.end() || now >= record->refused_until)
        return 0;
    SayOnce(record->said_refused,
            QStringLiteral("Control API: %1 gave %2 wrong tokens within a minute: its requests are refused for a minute")
                .arg(peer.toString())
                .arg(kMaxWrongTokens));
    return record->refused_until - now;
}

void TokenThrottle::CountWrong(const QHostAddress& peer)
{
    if (records_.size() >= kMaxRecords)
        ForgetQuietAddresses();
    Record& record = records_[peer];
    const qint64 now = now_();
    record.wrong.push_back(now);
    while (record.wrong.front() <= now - kTokenWindow_ms)
        record.wrong.pop_front();
    if (record.wrong.size() >= size_t(kMaxWrongTokens)) {
        record.refused_until = now + kTokenWindow_ms;
        record.wrong.clear();
    }
    SayOnce(record.said_wrong, QStringLiteral("Control API: a wrong token from %1").arg(peer.toString()));
}

void TokenThrottle::SayOnce(std::optional<qint64>& said, const QString& line)
{
    const qint64 now = now_();
    if (said && now - *said < kTokenWindow_ms)
        return;
    said = now;
    say_(line);
}

void TokenThrottle::ForgetQuietAddresses()
{
    const qint64 now = now_();
    for (auto it = records_.begin(); it != records_.end();) {
        const bool quiet = now >= it->refused_until && (it->wrong.empty() || it->wrong.back() <= now - kTokenWindow_ms);
        it = quiet ? records_.erase(it) : std::next(it);
    }
}

}  // namespace vantor
