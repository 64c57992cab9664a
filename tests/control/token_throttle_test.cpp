// Wrong tokens counted per address group, and over all groups, on a clock the test turns; the
// gate that asks the count before a request goes on.

#include "control/token_gate.h"
#include "control/token_throttle.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

const QString kToken = QStringLiteral("studio-secret-42");
const QByteArray kRight = "Bearer studio-secret-42", kWrong = "Bearer studio-secret-43";

class TokenThrottleTest : public ::testing::Test {
protected:
    QHostAddress At(const char* address) { return QHostAddress(QString::fromLatin1(address)); }

    qint64 now_ms_ = 0;
    QStringList said_;
    TokenThrottle throttle_{[this] { return now_ms_; }, [this](const QString& line) { said_ << line; }};
    const QHostAddress guesser_{QStringLiteral("192.0.2.7")}, operator_{QStringLiteral("192.0.2.8")};
};

TEST_F(TokenThrottleTest, TenWrongTokensWithinAMinuteRefuseThatAddressAloneForAMinuteSaidOnce)
{
    for (int i = 0; i < 10; ++i, now_ms_ += 5000) {
        EXPECT_FALSE(throttle_.Refused(guesser_)) << "try " << i;
        EXPECT_EQ(throttle_.CountWrong(guesser_), i == 9) << "try " << i;
    }
    const qint64 tenth = now_ms_ - 5000;
    EXPECT_EQ(throttle_.Refused(guesser_), 55000) << "the wait left, for Retry-After";
    EXPECT_FALSE(throttle_.Refused(operator_));
    now_ms_ = tenth + 59999;
    EXPECT_EQ(throttle_.Refused(guesser_), 1);
    now_ms_ = tenth + 60000;
    EXPECT_FALSE(throttle_.Refused(guesser_));
    EXPECT_EQ(said_, (QStringList{QStringLiteral("Control API: a wrong token from 192.0.2.7"),
                                  QStringLiteral("Control API: 192.0.2.7 gave 10 wrong tokens within a minute: its "
                                                 "requests are refused for a minute")}));
}

TEST_F(TokenThrottleTest, NineWrongTokensAMinuteAreNeverRefusedAndSaidOnceAMinute)
{
    for (; now_ms_ < 600000; now_ms_ += 6700) {
        EXPECT_FALSE(throttle_.Refused(guesser_)) << "at " << now_ms_ << " ms";
        throttle_.CountWrong(guesser_);
    }
    EXPECT_EQ(said_.size(), 10);
}

// Ten wrong tokens from the first address: whether the second is refused with it.
TEST_F(TokenThrottleTest, IPv4AddressesAreCountedAloneAndIPv6OnesByTheir64)
{
    const struct {
        const char *guesser, *other;
        bool together;
    } cases[] = {
        {"192.0.2.7", "192.0.2.8", false},
        {"192.0.2.7", "::ffff:192.0.2.7", true},
        {"::ffff:192.0.2.7", "192.0.2.7", true},
        {"2001:db8:1:2::7", "2001:db8:1:2:ffff:ffff:ffff:fffe", true},
        {"2001:db8:1:2::7", "2001:db8:1:3::7", false},
        {"2001:db8:1:2::7", "2001:db8:2:2::7", false},
        {"fe80::1%1", "fe80::2%2", true},
        {"::1", "127.0.0.1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.guesser) + " then " + c.other);
        TokenThrottle throttle([this] { return now_ms_; }, [](const QString&) {});
        for (int i = 0; i < kMaxWrongTokens; ++i)
            throttle.CountWrong(At(c.guesser));
        EXPECT_TRUE(throttle.Refused(At(c.guesser)));
        EXPECT_EQ(throttle.Refused(At(c.other)) > 0, c.together);
    }
    throttle_.CountWrong(At("2001:db8:1:2::7"));
    EXPECT_EQ(said_, QStringList{QStringLiteral("Control API: a wrong token from 2001:db8:1:2::/64")});
}

// Twenty addresses that each give nine wrong tokens within a minute: past the thirtieth, every
// wrong token refuses its address, while the right token from any other address goes on.
TEST_F(TokenThrottleTest, ManyAddressesGuessingTogetherAreRefusedButNeverTheRightTokenOfAnother)
{
    TokenGate gate(kToken, std::move(throttle_));
    const auto guesser = [](int n) { return QHostAddress(QStringLiteral("2001:db8:0:%1::9").arg(n)); };
    int unauthorised = 0, refused = 0;
    for (int round = 0; round < 9; ++round, now_ms_ += 6000)
        for (int n = 0; n < 20; ++n) {
            const auto answer = gate.Judge(guesser(n), "/api/state", kWrong);
            ASSERT_TRUE(answer.has_value());
            (answer->status == 429 ? refused : unauthorised) += 1;
        }
    EXPECT_EQ(unauthorised, kMaxWrongTokensAll) << "the first thirty are only wrong";
    EXPECT_EQ(refused, 9 * 20 - kMaxWrongTokensAll);
    for (int n = 0; n < 20; ++n)
        EXPECT_EQ(gate.Judge(guesser(n), "/api/state", kRight)->status, 429) << "a guesser, even with the token";
    EXPECT_FALSE(gate.Judge(QHostAddress(QStringLiteral("2001:db8:0:99::1")), "/api/state", kRight).has_value());
    EXPECT_TRUE(gate.Admits(QHostAddress(QStringLiteral("192.0.2.1")), kRight));
    EXPECT_EQ(gate.Judge(QHostAddress(QStringLiteral("192.0.2.1")), "/api/state", {})->status, 401)
        << "no token is no guess";
    EXPECT_FALSE(gate.Judge(guesser(0), "/page.js", {}).has_value()) << "the page's files need no token";
    EXPECT_EQ(said_.count(QStringLiteral("Control API: more than 30 wrong tokens within a minute from all addresses: "
                                         "each further one refuses its address for a minute")),
              1);
    now_ms_ += 60000;
    EXPECT_EQ(gate.Judge(guesser(0), "/api/state", kWrong)->status, 401) << "a minute later, all is forgotten";
}

}  // namespace
}  // namespace vantor
