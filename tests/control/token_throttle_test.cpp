// Wrong tokens counted per address, on a clock the test turns.

#include "control/token_throttle.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

class TokenThrottleTest : public ::testing::Test {
protected:
    qint64 now_ms_ = 0;
    QStringList said_;
    TokenThrottle throttle_{[this] { return now_ms_; }, [this](const QString& line) { said_ << line; }};
    const QHostAddress guesser_{QStringLiteral("192.0.2.7")}, operator_{QStringLiteral("192.0.2.8")};
};

TEST_F(TokenThrottleTest, TenWrongTokensWithinAMinuteRefuseThatAddressAloneForAMinuteSaidOnce)
{
    for (int i = 0; i < 10; ++i, now_ms_ += 5000) {
        EXPECT_FALSE(throttle_.Refused(guesser_)) << "try " << i;
        throttle_.CountWrong(guesser_);
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

}  // namespace
}  // namespace vantor
