// The engine with no window, watched by real receivers: what the source announces, and the
// decoded frames pixel by pixel.

#include "engine/sender.h"
#include "imagery/picture_scale.h"
#include "engine_fixture.h"
#include "stream_client.h"

#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <mutex>
#include <string>

namespace vantor {
namespace {

using test::GrabFrames;
using test::SpinFor;
using test::SpinUntil;

constexpr int k640x360 = 32776, k960x540 = 32773;
constexpr int k30p = 32778;

struct Bgra {
    uint8_t b, g, r, a;
    bool operator==(const Bgra&) const = default;
};

Bgra PixelAt(const QByteArray& frame, int width, int x, int y)
{
    const auto* p = reinterpret_cast<const uint8_t*>(frame.constData()) + (size_t(y) * width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

Bgra PixelAt(const RgbaImage& image, int x, int y)
{
    const uint8_t* p = image.pixels.get() + (size_t(y) * image.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// A frame is transparent black except for `picture`, copied, with its top-left pixel at (left,
// top).
::testing::AssertionResult ShowsOnly(const QByteArray& frame, int width, int height, const RgbaImage& picture,
                                     int left, int top)
{
    if (frame.size() != qsizetype(width) * height * 4)
        return ::testing::AssertionFailure() << "frame of " << frame.size() << " bytes";
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int px = x - left, py = y - top;
            Bgra want{0, 0, 0, 0};
            if (px >= 0 && py >= 0 && px < picture.width && py < picture.height)
                want = PixelAt(picture, px, py);
            const Bgra got = PixelAt(frame, width, x, y);
            if (!(got == want))
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " is " << int(got.b) << "," << int(got.g) << ","
                       << int(got.r) << "," << int(got.a) << " not " << int(want.b) << "," << int(want.g)
                       << "," << int(want.r) << "," << int(want.a);
        }
    return ::testing::AssertionSuccess();
}

class EngineStream : public test::EngineFixture {
protected:
    uint16_t SourcePort()
    {
        const auto port = test::SourcePortOf(QCoreApplication::applicationPid());
        EXPECT_TRUE(port.has_value()) << "the engine's source listens nowhere";
        return port.value_or(0);
    }

    void StartAt640x360()
    {
        engine.SelectResolution(k640x360);
        ASSERT_TRUE(engine.StartSending());
    }

    // A solid 64 x 36 logo, switched on and confirmed as closing the Overlay setup confirms it.
    void ConfirmSolidLogo(int red, int green, int blue)
    {
        ASSERT_TRUE(overlay.frames.first.image.FillSolid(64, 36, red, green, blue));
        overlay.overlay_on = 1;
        engine.OverlaySetupClosed();
    }

    // Sets the overlay's first picture from a real file; the loop is stopped, so no guard is
    // needed here.
    void LoadLogo(const QImage& picture)
    {
        const QString path = dir_.filePath(QStringLiteral("logo.png"));
        ASSERT_TRUE(picture.save(path));
        ASSERT_TRUE(overlay.frames.first.image.LoadFromFile(path));
    }

    // The frame a receiver decodes once a change has had time to reach the output.
    QByteArray FrameAfterAChange(uint16_t port)
    {
        SpinFor(150);
        const auto frames = GrabFrames(port, 1, 640, 360);
        EXPECT_EQ(frames.size(), 1u);
        return frames.empty() ? QByteArray() : frames[0];
    }

    QTemporaryDir dir_;
};

TEST_F(EngineStream, AnnouncesItsNameMetadataSizeAndRateAndAutoStartsWithTheWatermark)
{
    engine.ApplyOutputFormat();
    const uint16_t port = SourcePort();
    ASSERT_NE(port, 0);
    RgbaImage watermark;
    ASSERT_TRUE(watermark.LoadFromResource(kWatermarkBitmap));
    const int left = 1280 - 480 - 20, top = 720 / 120;

    // A receiver from the first moment (it joins within the 1.5 seconds before the start) sees
    // the frame sent stopped, then the running ones: the same pixels, the watermark copied.
    const auto receiver = test::StartReceiving(port, 4);
    engine.ScheduleAutoStart();
    SpinFor(1500);
    EXPECT_FALSE(engine.running()) << "started before its two seconds";
    ASSERT_TRUE(SpinUntil([&] { return engine.running(); }, 2000));
    const auto frames = test::ReceivedFrames(*receiver, 1280, 720);
    ASSERT_EQ(frames.size(), 4u);
    for (const QByteArray& frame : frames)
        EXPECT_TRUE(ShowsOnly(frame, 1280, 720, watermark, left, top));

    const auto info = test::ProbeStream(port);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->title, QStringLiteral("Kelo Vantor 1"));
    EXPECT_EQ(info->connection_metadata.toStdString(), std::string(ProductMetadata()));
    EXPECT_EQ(info->codec, QStringLiteral("qtrle"));
    EXPECT_EQ(info->width, 1280);
    EXPECT_EQ(info->height, 720);
    EXPECT_EQ(info->frame_rate, QStringLiteral("25/1"));
    EXPECT_EQ(info->aspect_ratio, QStringLiteral("16:9"));
}

TEST_F(EngineStream, OverlayAppearsAtEachCornerAndOffsetInPlaceOfTheWatermark)
{
    QImage logo(64, 36, QImage::Format_ARGB32);
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 64; ++x)
            logo.setPixel(x, y, qRgba(x * 4, y * 7, 200, 40 + x + y));
    LoadLogo(logo);
    const RgbaImage& picture = overlay.frames.first.image;
    overlay.overlay_on = 1;
    engine.OverlaySetupClosed();
    EXPECT_FALSE(engine.watermark_on());
    StartAt640x360();
    const uint16_t port = SourcePort();

    const struct {
        int32_t corner, x, y, left, top;
    } cases[] = {
        {kCornerUpperLeft, 30, 12, 30, 12},
        {kCornerUpperRight, 30, 12, 640 - 64 - 30, 12},
        {kCornerLowerLeft, 0, 0, 0, 360 - 36},
        {kCornerLowerRight, -20, 5, 640 - 64 + 20, 360 - 36 - 5},  // partly past the right edge
    };
    for (const auto& c : cases) {
        overlay.corner_code = c.corner;
        overlay.x_offset = c.x;
        overlay.y_offset = c.y;
        SpinFor(150);  // a few frames at 25p: the change is drawn from the next frame on
        const auto frames = GrabFrames(port, 1, 640, 360);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_TRUE(ShowsOnly(frames[0], 640, 360, picture, c.left, c.top)) << "corner " << c.corner;
    }
}

// The play order of each mode over a four-picture sequence with a pause of two frames, one
// period of it: every run of decoded frames must be a stretch of this period repeated.
struct ModeCase {
    int32_t mode;
    std::vector<int> period;
};

const ModeCase kModes[] = {
    {kPlayForward, {1, 2, 3, 4, 4, 4}},
    {kPlayReverse, {4, 3, 2, 1, 1, 1}},
    {kPlayOscillate1, {2, 3, 4, 3, 2, 1, 1, 1}},
    {kPlayOscillate2, {2, 3, 4, 4, 4, 3, 2, 1, 1, 1}},
};

bool IsStretchOfPeriod(const std::vector<int>& seen, const std::vector<int>& period)
{
    for (size_t offset = 0; offset < period.size(); ++offset) {
        bool all = true;
        for (size_t i = 0; i < seen.size() && all; ++i)
            all = seen[i] == period[(offset + i) % period.size()];
        if (all)
            return true;
    }
    return false;
}

TEST_F(EngineStream, SequencePlaysEveryModeWithItsPauseFrameByFrame)
{
    const std::array<QRgb, 4> colours = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    {
        std::lock_guard lock(overlay.frames.guard);
        ASSERT_TRUE(overlay.frames.first.image.FillSolid(32, 18, qRed(colours[0]), qGreen(colours[0]), qBlue(colours[0])));
        for (size_t i = 1; i < colours.size(); ++i) {
            auto node = std::make_unique<SequenceFrame>();
            ASSERT_TRUE(node->image.FillSolid(32, 18, qRed(colours[i]), qGreen(colours[i]), qBlue(colours[i])));
            node->number = int32_t(i + 1);
            AppendFrame(overlay.frames, std::move(node));
        }
        playback.current = &overlay.frames.first;
        playback.is_sequence = true;
    }
    overlay.overlay_on = 1;
    overlay.corner_code = kCornerUpperLeft;
    playback.SetPause(2, kPauseInFrames, 30000, 1200);
    StartAt640x360();
    const uint16_t port = SourcePort();

    for (const ModeCase& c : kModes) {
        playback.SetPlayMode(c.mode);
        SpinFor(200);
        const auto frames = GrabFrames(port, 24, 640, 360);
        ASSERT_EQ(frames.size(), 24u) << "mode " << c.mode;
        std::vector<int> seen;
        for (const QByteArray& frame : frames) {
            const Bgra p = PixelAt(frame, 640, 10, 10);
            const auto it = std::find_if(colours.begin(), colours.end(), [&](QRgb c) {
                return p == Bgra{uint8_t(qBlue(c)), uint8_t(qGreen(c)), uint8_t(qRed(c)), 255};
            });
            ASSERT_NE(it, colours.end()) << "a frame shows none of the four pictures";
            seen.push_back(int(it - colours.begin()) + 1);
        }
        EXPECT_TRUE(IsStretchOfPeriod(seen, c.period)) << "mode " << c.mode << ": " << ::testing::PrintToString(seen);
    }
}

// Each picture of another size and colour, so that anything left of the one before shows.
TEST_F(EngineStream, ASequenceOfPicturesOfDifferentSizesDecodesExactlyFrameByFrame)
{
    const struct {
        int32_t w, h;
        uint8_t r, g, b;
    } pictures[] = {{48, 30, 250, 10, 10}, {16, 10, 10, 250, 10}, {40, 8, 10, 10, 250}, {8, 40, 250, 250, 10}};
    {
        std::lock_guard lock(overlay.frames.guard);
        for (size_t i = 0; i < std::size(pictures); ++i) {
            const auto& p = pictures[i];
            auto node = std::make_unique<SequenceFrame>();
            RgbaImage& image = i == 0 ? overlay.frames.first.image : node->image;
            ASSERT_TRUE(image.FillSolid(p.w, p.h, p.r, p.g, p.b));
            if (i > 0)
                AppendFrame(overlay.frames, std::move(node));
        }
        playback.current = &overlay.frames.first;
        playback.is_sequence = true;
    }
    overlay.overlay_on = 1;
    overlay.corner_code = kCornerUpperLeft;
    overlay.x_offset = 5;
    overlay.y_offset = 3;
    StartAt640x360();
    const auto frames = GrabFrames(SourcePort(), 12, 640, 360);
    ASSERT_EQ(frames.size(), 12u);
    std::vector<const RgbaImage*> order;
    for (const SequenceFrame* node = &overlay.frames.first; node; node = node->next)
        order.push_back(&node->image);
    const auto first = std::find_if(order.begin(), order.end(), [&](const RgbaImage* image) {
        return ShowsOnly(frames[0], 640, 360, *image, 5, 3);
    });
    ASSERT_NE(first, order.end()) << "the first frame shows none of the pictures alone";
    for (size_t i = 1; i < frames.size(); ++i) {
        const RgbaImage& expected = *order[(size_t(first - order.begin()) + i) % order.size()];
        EXPECT_TRUE(ShowsOnly(frames[i], 640, 360, expected, 5, 3)) << "frame " << i;
    }
}

TEST_F(EngineStream, AnOverlaySwitchedOffLeavesTheFrameBareAndSwitchedOnElsewhereLeavesNothingBehind)
{
    ConfirmSolidLogo(30, 160, 90);
    const RgbaImage& picture = overlay.frames.first.image;
    overlay.corner_code = kCornerUpperLeft;
    StartAt640x360();
    const uint16_t port = SourcePort();
    SpinFor(150);
    overlay.overlay_on = 0;
    SpinFor(150);
    const auto bare = GrabFrames(port, 3, 640, 360);
    ASSERT_EQ(bare.size(), 3u);
    for (const QByteArray& frame : bare)
        EXPECT_EQ(frame, QByteArray(640 * 360 * 4, '\0')) << "the watermark went when the overlay was on";

    overlay.corner_code = kCornerLowerRight;
    overlay.overlay_on = 1;
    SpinFor(150);
    const auto moved = GrabFrames(port, 3, 640, 360);
    ASSERT_EQ(moved.size(), 3u);
    for (const QByteArray& frame : moved)
        EXPECT_TRUE(ShowsOnly(frame, 640, 360, picture, 640 - 64, 360 - 36));
}

TEST_F(EngineStream, AnOverlaySwitchedOffBeforeTheSetupClosedBringsTheWatermarkBack)
{
    StartAt640x360();
    const uint16_t port = SourcePort();
    const QByteArray watermarked = FrameAfterAChange(port);
    ASSERT_TRUE(overlay.frames.first.image.FillSolid(64, 36, 30, 160, 90));
    overlay.overlay_on = 1;  // on in the open dialog: the watermark is still due
    EXPECT_TRUE(ShowsOnly(FrameAfterAChange(port), 640, 360, overlay.frames.first.image, 640 - 64, 0));
    overlay.overlay_on = 0;
    EXPECT_EQ(FrameAfterAChange(port), watermarked);
}

TEST_F(EngineStream, InOneShotAnOverlaySwitchedOffAndOnAgainShowsItsStillWithoutGo)
{
    ConfirmSolidLogo(30, 160, 90);
    playback.one_shot = true;
    StartAt640x360();
    const uint16_t port = SourcePort();
    overlay.overlay_on = 0;
    EXPECT_EQ(FrameAfterAChange(port), QByteArray(640 * 360 * 4, '\0'));
    overlay.overlay_on = 1;
    EXPECT_TRUE(ShowsOnly(FrameAfterAChange(port), 640, 360, overlay.frames.first.image, 640 - 64, 0));
    EXPECT_FALSE(playback.go) << "nothing was armed";
}

TEST_F(EngineStream, AfterAFormatChangeTheRestartedStreamIsExactAtItsNewSize)
{
    ConfirmSolidLogo(200, 40, 120);
    overlay.corner_code = kCornerLowerRight;
    StartAt640x360();
    SpinFor(150);
    engine.SelectResolution(k960x540);
    ASSERT_TRUE(engine.StartSending());
    SpinFor(150);
    const auto frames = GrabFrames(SourcePort(), 3, 960, 540);
    ASSERT_EQ(frames.size(), 3u);
    for (const QByteArray& frame : frames)
        EXPECT_TRUE(ShowsOnly(frame, 960, 540, overlay.frames.first.image, 960 - 64, 540 - 36));
}

// The rows and columns of a frame where anything is keyed: the logo's size as a receiver sees it.
PixelSize KeyedSize(const QByteArray& frame, int width, int height)
{
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (PixelAt(frame, width, x, y).a != 0) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    return {std::max(0, right - left + 1), std::max(0, bottom - top + 1)};
}

// A logo made for 1080 lines (108 high: a tenth of the picture), fitted at 360 and 540 lines.
TEST_F(EngineStream, AFittedLogoKeepsItsShareOfThePictureHeightAtEveryFormat)
{
    ConfirmSolidLogo(200, 40, 120);
    ASSERT_TRUE(overlay.frames.first.image.FillSolid(216, 108, 200, 40, 120));
    RescaleFrames(overlay.frames, kScaleFit, 1080);
    struct Format {
        int menu_id, width, height;
    };
    std::vector<double> shares;
    for (const Format format : {Format{k640x360, 640, 360}, Format{k960x540, 960, 540}}) {
        engine.SelectResolution(format.menu_id);
        ASSERT_TRUE(engine.StartSending());
        SpinFor(150);
        const auto frames = GrabFrames(SourcePort(), 1, format.width, format.height);
        ASSERT_EQ(frames.size(), 1u);
        const PixelSize keyed = KeyedSize(frames[0], format.width, format.height);
        EXPECT_EQ(keyed, (PixelSize{format.height / 5, format.height / 10})) << format.height << " lines";
        shares.push_back(double(keyed.height) / format.height);
    }
    // Within a pixel of the larger format.
    EXPECT_NEAR(shares[0], shares[1], 1.0 / 540);
}

TEST_F(EngineStream, AFormatChangeReannouncesTheSourceAndLeavesItStopped)
{
    StartAt640x360();
    ASSERT_NE(SourcePort(), 0);
    engine.SelectResolution(k960x540);
    engine.SelectFrameRate(k30p);
    EXPECT_FALSE(engine.running());
    const auto info = test::ProbeStream(SourcePort());
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->width, 960);
    EXPECT_EQ(info->height, 540);
    EXPECT_EQ(info->frame_rate, QStringLiteral("30/1"));
    SpinFor(300);
    EXPECT_FALSE(engine.running());
}

// Three seconds of a 64 x 36 solid logo at 70 % with one-second fades at 25p, as a receiver
// decodes them, while `change` happens a second in: one pixel of the logo in each frame.
std::vector<Bgra> LogoPixelAcrossAChange(uint16_t port, const std::function<void()>& change)
{
    const auto receiver = test::StartReceiving(port, 75);
    SpinFor(1000);
    change();
    std::vector<Bgra> pixels;
    for (const QByteArray& frame : test::ReceivedFrames(*receiver, 640, 360))
        pixels.push_back(PixelAt(frame, 640, 640 - 32, 18));
    return pixels;
}

// The frames of `pixels` from the first that differs from the first one on.
std::vector<Bgra> FromTheChange(const std::vector<Bgra>& pixels)
{
    const auto changed = std::find_if(pixels.begin(), pixels.end(), [&](Bgra p) { return !(p == pixels[0]); });
    return {changed, pixels.end()};
}

TEST_F(EngineStream, AOneSecondFadeMovesOverTwentyFiveFramesToTheOpacityOrToAClearFrameAndStays)
{
    overlay.opacity_percent = 70;
    overlay.fade_ms = 1000;
    ConfirmSolidLogo(200, 40, 120);
    overlay.overlay_on = 0;
    StartAt640x360();
    const uint16_t port = SourcePort();
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "on" : "off");
        const auto pixels = LogoPixelAcrossAChange(port, [&] { overlay.overlay_on = on; });
        ASSERT_EQ(pixels.size(), 75u);
        EXPECT_EQ(pixels[0].a, on ? 0 : 179);
        const std::vector<Bgra> fade = FromTheChange(pixels);
        ASSERT_GE(fade.size(), 30u) << "the fade began too late to be seen whole";
        for (size_t i = 0; i < fade.size(); ++i) {
            const int frame = int(std::min<size_t>(i + 1, 25));
            EXPECT_EQ(fade[i].a, std::lround(70.0 * 255 * (on ? frame : 25 - frame) / 2500)) << "frame " << i + 1;
            if (fade[i].a > 0)
                EXPECT_TRUE(fade[i].r == 200 && fade[i].g == 40 && fade[i].b == 120) << "frame " << i + 1;
        }
    }
    EXPECT_EQ(GrabFrames(port, 1, 640, 360).at(0), QByteArray(640 * 360 * 4, '\0')) << "nothing keyed after Off";
}

TEST_F(EngineStream, ANewPictureCrossFadesFromTheOldOneOverTheFade)
{
    overlay.opacity_percent = 70;
    overlay.fade_ms = 1000;
    ConfirmSolidLogo(200, 40, 120);
    StartAt640x360();
    const auto pixels = LogoPixelAcrossAChange(SourcePort(), [&] {
        RgbaImage blue;
        ASSERT_TRUE(blue.FillSolid(64, 36, 0, 0, 250));
        std::lock_guard lock(overlay.frames.guard);
        RgbaImage no_scaled;
        ReplaceFirstPicture(overlay.frames, blue, no_scaled, true);
    });
    ASSERT_EQ(pixels.size(), 75u);
    EXPECT_TRUE(pixels[0] == (Bgra{120, 40, 200, 179}));
    const std::vector<Bgra> fade = FromTheChange(pixels);
    ASSERT_GE(fade.size(), 30u) << "the cross-fade began too late to be seen whole";
    for (size_t i = 0; i < fade.size(); ++i) {
        EXPECT_NEAR(fade[i].a, 179, 1) << "frame " << i + 1 << ": both pictures together at the opacity";
        if (i > 0 && i < 25)
            EXPECT_LT(fade[i].r, fade[i - 1].r) << "frame " << i + 1 << ": the old picture leaves steadily";
    }
    EXPECT_TRUE(fade[24] == (Bgra{250, 0, 0, 179})) << "the new picture alone at the end of the fade";
    EXPECT_TRUE(fade.back() == fade[24]);
}

// A receiver that stays connected and keeps only the latest frame it decoded, as a mixer holds
// the last picture of a source that sends no more.
class HoldingReceiver {
public:
    HoldingReceiver(uint16_t port, int width, int height) : frame_bytes_(qsizetype(width) * height * 4)
    {
        QObject::connect(&ffmpeg_, &QProcess::readyReadStandardOutput, [this] {
            decoded_ += ffmpeg_.readAllStandardOutput();
            if (const qsizetype surplus = (decoded_.size() / frame_bytes_ - 1) * frame_bytes_; surplus > 0)
                decoded_.remove(0, surplus);
        });
        ffmpeg_.start(QStringLiteral("ffmpeg"),
                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                       QStringLiteral("tcp://127.0.0.1:%1").arg(port), QStringLiteral("-fps_mode"),
                       QStringLiteral("passthrough"), QStringLiteral("-f"), QStringLiteral("rawvideo"),
                       QStringLiteral("-pix_fmt"), QStringLiteral("bgra"), QStringLiteral("-flush_packets"),
                       QStringLiteral("1"), QStringLiteral("-")});
    }
    ~HoldingReceiver()
    {
        ffmpeg_.kill();
        ffmpeg_.waitForFinished(1000);
    }

    bool Holding() const { return decoded_.size() >= frame_bytes_; }
    // The latest whole frame decoded, as BGRA.
    QByteArray HeldFrame() const { return decoded_.left(frame_bytes_); }

private:
    const qsizetype frame_bytes_;
    QByteArray decoded_;  // the latest whole frame, and what came of the next
    QProcess ffmpeg_;
};

// Stop leaves nothing keyed on a receiver: one watching holds a clear last frame and one that
// connects while the copy is stopped gets the same; the house watermark stays while it is due.
TEST_F(EngineStream, StopLeavesHoldingReceiversAndNewcomersAFrameWithNothingKeyed)
{
    RgbaImage watermark;
    ASSERT_TRUE(watermark.LoadFromResource(kWatermarkBitmap));
    const struct {
        const char* name;
        bool confirmed;  // the Overlay setup closed with the logo on: the watermark is no longer due
    } cases[] = {{"logo on in the open setup", false}, {"logo confirmed", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(overlay.frames.first.image.FillSolid(64, 36, 30, 160, 90));
        overlay.overlay_on = 1;
        if (c.confirmed)
            engine.OverlaySetupClosed();
        StartAt640x360();
        const uint16_t port = SourcePort();
        HoldingReceiver watching(port, 640, 360);
        ASSERT_TRUE(SpinUntil([&] { return watching.Holding(); }, 10000)) << "the receiver decoded nothing";
        SpinFor(200);
        ASSERT_TRUE(ShowsOnly(watching.HeldFrame(), 640, 360, overlay.frames.first.image, 640 - 64, 0));
        engine.StopSending();
        EXPECT_TRUE(engine.holds_clear_frame());
        SpinFor(300);

        const auto newcomer = GrabFrames(port, 1, 640, 360);
        ASSERT_EQ(newcomer.size(), 1u) << "the stopped source sends nothing to a newcomer";
        const QByteArray held = watching.HeldFrame();
        for (const QByteArray& frame : {newcomer[0], held}) {
            if (c.confirmed)
                EXPECT_EQ(frame, QByteArray(640 * 360 * 4, '\0'));
            else
                EXPECT_TRUE(ShowsOnly(frame, 640, 360, watermark, 640 - 480 - 20, 360 / 120));
        }
    }
}

}  // namespace
}  // namespace vantor
