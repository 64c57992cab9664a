// The words an operator types on a command line, in a setup file or in an API request: what
// each reader takes, and what it refuses.

#include "control/setup_words.h"

#include "engine/playback_state.h"
#include "imagery/overlay_state.h"
#include "imagery/picture_scale.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(SetupWords, EndpointsTakeAPortAndAnAddressWithIPv6InBrackets)
{
    struct Case {
        const char* word;
        const char* address;  // null: refused
        quint16 port;
    };
    for (const Case& c : {Case{"8080", "127.0.0.1", 8080}, Case{"0.0.0.0:80", "0.0.0.0", 80},
                          Case{"[::1]:65535", "::1", 65535}, Case{"192.168.10.5:1", "192.168.10.5", 1},
                          Case{"::1:8080", nullptr, 0}, Case{"0", nullptr, 0}, Case{"65536", nullptr, 0},
                          Case{"host.example:80", nullptr, 0}, Case{"10.0.0.1:", nullptr, 0},
                          Case{"+80", nullptr, 0}, Case{"[::1]", nullptr, 0}}) {
        SCOPED_TRACE(c.word);
        const auto endpoint = words::ReadEndpoint(QString::fromLatin1(c.word));
        ASSERT_EQ(endpoint.has_value(), c.address != nullptr);
        if (endpoint) {
            EXPECT_EQ(endpoint->address, QHostAddress(QString::fromLatin1(c.address)));
            EXPECT_EQ(endpoint->port, c.port);
        }
    }
}

TEST(SetupWords, PausesRatesAndOffsetsTakeTheirRangesOnly)
{
    EXPECT_EQ(words::ReadPause(u"99s"), (PauseSetting{99, kPauseInSeconds}));
    EXPECT_EQ(words::ReadPause(u"0f"), (PauseSetting{0, kPauseInFrames}));
    for (const char16_t* refused : {u"100s", u"5", u"5S", u"-1f", u"s", u"5m", u"1 2f", u"\u0665s"})
        EXPECT_FALSE(words::ReadPause(refused).has_value()) << QString::fromUtf16(refused).toStdString();
    EXPECT_EQ(words::ReadRate(u"29.97"), words::ReadRate(u"29.97p"));
    EXPECT_EQ(words::RateWord(*words::ReadRate(u"50p")), QStringLiteral("50"));
    for (const char16_t* refused : {u"29.97pp", u"24", u"p", u"60 p"})
        EXPECT_FALSE(words::ReadRate(refused).has_value()) << QString::fromUtf16(refused).toStdString();
    EXPECT_EQ(words::ReadOffset(u"2100, 1100"), (OverlayOffset{2100, 1100}));
    for (const char16_t* refused : {u"2101,0", u"0,1101", u"10", u"10,20,30", u",5", u"1e3,0"})
        EXPECT_FALSE(words::ReadOffset(refused).has_value()) << QString::fromUtf16(refused).toStdString();
    EXPECT_EQ(words::ReadRunRate(u"25"), 25);
    EXPECT_EQ(words::ReadRunRate(u"0"), 0);
    EXPECT_EQ(words::ReadRunRate(u"120"), 120);
    for (const char16_t* refused : {u"121", u"-1", u"25fps", u"2.5", u""})
        EXPECT_FALSE(words::ReadRunRate(refused).has_value()) << QString::fromUtf16(refused).toStdString();
}

TEST(SetupWords, FadesOpacitiesSafeAreasAndCyclesTakeTheirRangesAndReadBackAsWritten)
{
    EXPECT_EQ(words::ReadFade(u"0.5"), 500);
    EXPECT_EQ(words::ReadFade(u"10s"), 10000);
    EXPECT_EQ(words::ReadFade(words::FadeWord(250)), 250);
    EXPECT_EQ(words::ReadOpacity(u"70%"), 70);
    EXPECT_EQ(words::ReadSafeArea(u"graphics"), kSafeAreaGraphics);
    EXPECT_EQ(words::ReadCycle(u"10s/10m"), (CycleSetting{10000, 600000, 0}));
    EXPECT_EQ(words::ReadCycle(u"30/1h/1m"), (CycleSetting{30000, 3600000, 60000}));
    EXPECT_EQ(words::ReadCycle(u"off"), CycleSetting{});
    for (const CycleSetting& cycle : {CycleSetting{10000, 600000, 0}, CycleSetting{2500, 90000, 1500}, CycleSetting{}})
        EXPECT_EQ(words::ReadCycle(words::CycleWord(cycle)), cycle) << words::CycleWord(cycle).toStdString();
    for (const char16_t* refused : {u"10.5", u"-1", u"1e1", u"5m", u""})
        EXPECT_FALSE(words::ReadFade(refused).has_value()) << QString::fromUtf16(refused).toStdString();
    for (const char16_t* refused : {u"101", u"-5", u"50%%", u"0.5"})
        EXPECT_FALSE(words::ReadOpacity(refused).has_value()) << QString::fromUtf16(refused).toStdString();
    for (const char16_t* refused : {u"title", u"Action", u""})
        EXPECT_FALSE(words::ReadSafeArea(refused).has_value()) << QString::fromUtf16(refused).toStdString();
    for (const char16_t* refused : {u"10m/10m", u"0s/1m", u"10s", u"1s/2s/3s/4s", u"10x/1m", u"1s/25h", u"-1s/1m"})
        EXPECT_FALSE(words::ReadCycle(refused).has_value()) << QString::fromUtf16(refused).toStdString();
}

TEST(SetupWords, ScalesArePercentagesFrom1To400OrFitAndReadBackAsWritten)
{
    EXPECT_EQ(words::ReadScale(u"50%"), 50);
    for (const int32_t scale : {kScaleFit, 1, 100, kMaxScalePercent})
        EXPECT_EQ(words::ReadScale(words::ScaleWord(scale)), scale) << scale;
    for (const char16_t* refused : {u"0", u"401", u"Fit", u"1.5", u"-5", u""})
        EXPECT_FALSE(words::ReadScale(refused).has_value()) << QString::fromUtf16(refused).toStdString();
}

}  // namespace
}  // namespace vantor
