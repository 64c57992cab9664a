#pragma once
// Wrong tokens counted per address group (an IPv4 address, an IPv6 /64: control/peer_group.h):
// one that gives kMaxWrongTokens wrong tokens within a minute is refused for a minute, so a
// token cannot be guessed at network speed. Many groups guessing together cannot either: once
// kMaxWrongTokensAll wrong tokens have come from all of them within a minute, every further
// wrong token refuses its group at once. A group that gave no wrong token is never refused, so
// the operator's right token is taken whoever else guesses. Said on standard error at most
// once a minute for a group (once for all while many guess), so guessers cannot flood the log.

#include <QHash>
#include <QHostAddress>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

namespace vantor {

inline constexpr int kMaxWrongTokens = 10;
inline constexpr int kMaxWrongTokensAll = 30;
inline constexpr qint64 kTokenWindow_ms = 60000;

class TokenThrottle {
public:
    using Clock = std::function<qint64()>;  // milliseconds, never going back
    using Say = std::function<void(const QString& line)>;
    TokenThrottle();
    TokenThrottle(Clock now, Say say);

    // How long, in milliseconds, before the peer's group may try a token again; 0 when it may now.
    qint64 Refused(const QHostAddress& peer) const;
    // The peer gave a wrong token: true when its group is refused from now on.
    bool CountWrong(const QHostAddress& peer);

private:
    struct Record {
        std::deque<qint64> wrong;  // when, within the last minute
        qint64 refused_until = 0;
        std::optional<qint64> said;
    };
    // Whether kMaxWrongTokensAll wrong tokens came within the minute before `now`.
    bool Flooded(qint64 now) const;
    void SayOnce(std::optional<qint64>& said, const QString& line);
    void ForgetQuietGroups();

    Clock now_;
    Say say_;
    QHash<QHostAddress, Record> records_;
    std::deque<qint64> all_wrong_;  // the last kMaxWrongTokensAll, from every group
    std::optional<qint64> said_flood_;
};

}  // namespace vantor
