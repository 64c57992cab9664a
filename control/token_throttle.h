#pragma once
// Wrong tokens counted per address: one that gives kMaxWrongTokens wrong tokens within a minute
// is refused for a minute, so a token cannot be guessed at network speed. Each kind of refusal
// is said on standard error at most once a minute for an address, so a guesser cannot flood
// the log either.

#include <QHash>
#include <QHostAddress>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

namespace vantor {

inline constexpr int kMaxWrongTokens = 10;
inline constexpr qint64 kTokenWindow_ms = 60000;

class TokenThrottle {
public:
    using Clock = std::function<qint64()>;  // milliseconds, never going back
    using Say = std::function<void(const QString& line)>;
    TokenThrottle();
    TokenThrottle(Clock now, Say say);

    // How long, in milliseconds, before the address may try a token again; 0 when it may now.
    qint64 Refused(const QHostAddress& peer);
    // The address gave a wrong token.
    void CountWrong(const QHostAddress& peer);

private:
    struct Record {
        std::deque<qint64> wrong;  // when, within the last minute
        qint64 refused_until = 0;
        std::optional<qint64> said_wrong, said_refused;
    };
    void SayOnce(std::optional<qint64>& said, const QString& line);
    void ForgetQuietAddresses();

    Clock now_;
    Say say_;
    QHash<QHostAddress, Record> records_;
};

}  // namespace vantor
