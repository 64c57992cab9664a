// The control API of a headless copy driven by curl, as a show's automation drives it: each
// change reaches the output (seen by a real ffmpeg receiver), and wrong requests answer 4xx and
// change nothing.

#include "copy_process.h"
#include "raw_http.h"
#include "stream_client.h"
#include "test_images.h"
#include "support/qt_printers.h"
#include "support/spin_until.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>
#include <optional>

namespace vantor {
namespace {

using test::CopyProcess;

constexpr int kBound_ms = 20000;
constexpr int kWidth = 640, kHeight = 360;
const QString kNoBus = QStringLiteral("unix:path=/nonexistent/bus");
constexpr int kWaitingThumbnails = 4;  // as many as a copy lets wait

struct Answer {
    int status = 0;
    QByteArray body;
    QByteArray head;  // the answer's headers, lower case
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    // A header's value; empty when the answer has none.
    QByteArray Header(const QByteArray& name) const
    {
        for (const QByteArray& line : head.split('\n'))
            if (line.startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }
};

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QRgb PixelAt(const QByteArray& frame, int x, int y)
{
    const auto* p = reinterpret_cast<const uint8_t*>(frame.constData()) + (size_t(y) * kWidth + x) * 4;
    return qRgba(p[2], p[1], p[0], p[3]);
}

class ControlApiTest : public ::testing::Test {
protected:
    // A copy at 640 x 360 with its API at `address` and a free port; run by `wrapper`, a command
    // that ends by running the copy, when one is given.
    // A port found free can be taken by another socket before the copy listens on it: then the
    // copy goes on without its API, and is launched again on another port.
    void Launch(const QString& address, const QStringList& arguments = {}, const QStringList& wrapper = {})
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            port_ = test::FreeLocalPort(QHostAddress(address));
            QStringList all = arguments;
            all << QStringLiteral("--control") << QStringLiteral("%1:%2").arg(address).arg(port_)
                << QStringLiteral("--size") << QStringLiteral("640x360");
            if (!wrapper.isEmpty())
                all = wrapper.mid(1) + QStringList{test::HeadlessProgram()} + all;
            copy_ = std::make_unique<CopyProcess>(kNoBus, wrapper.isEmpty() ? test::HeadlessProgram() : wrapper.front(),
                                                  all);
            ASSERT_TRUE(copy_->WaitForCount(QStringLiteral("Sending"), 1, kBound_ms)) << copy_->Errors().toStdString();
            if (!copy_->Errors().contains(QStringLiteral("cannot listen")))
                return;
        }
        FAIL() << "the API never listened: " << copy_->Errors().toStdString();
    }

    // curl as a panel's generic HTTP action runs it; the body from a file when it is large.
    Answer Curl(const QString& method, const QString& path, const QByteArray& body = {}, const QStringList& more = {})
    {
        QTemporaryDir dir;
        const QString body_file = dir.filePath(QStringLiteral("body"));
        QFile file(body_file);
        file.open(QIODevice::WriteOnly);
        file.write(body);
        file.close();
        const QString head_file = dir.filePath(QStringLiteral("head"));
        QStringList arguments{QStringLiteral("-s"), QStringLiteral("-D"), head_file, QStringLiteral("-X"), method,
                              QStringLiteral("-w"), QStringLiteral("\n%{http_code}"),
                              QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path)};
        if (!body.isEmpty())
            arguments << QStringLiteral("--data-binary") << QLatin1Char('@') + body_file;
        if (!body.isEmpty() && !more.join(u' ').contains(QStringLiteral("Content-Type")))
            arguments << QStringLiteral("-H") << QStringLiteral("Content-Type: application/json");
        QProcess curl;
        curl.start(QStringLiteral("curl"), arguments + more);
        curl.waitForFinished(kBound_ms);
        const QByteArray out = curl.readAllStandardOutput();
        const qsizetype end = out.lastIndexOf('\n');
        QFile head(head_file);
        head.open(QIODevice::ReadOnly);
        return {out.mid(end + 1).toInt(), out.left(end), head.readAll().toLower()};
    }

    QString Picture(const QString& name, QRgb colour) { return test::SaveSolidPicture(dir_.filePath(name), 40, 20, colour); }

    Answer Post(const QString& path, const QJsonObject& body = {})
    {
        return Curl(QStringLiteral("POST"), path, QJsonDocument(body).toJson());
    }

    bool Armed() { return Curl(QStringLiteral("GET"), QStringLiteral("/api/state")).json()["playback"].toObject()["armed"].toBool(); }

    std::vector<QByteArray> Frames(int count)
    {
        const auto port = test::SourcePortOf(copy_->pid());
        EXPECT_TRUE(port.has_value());
        return test::GrabFrames(port.value_or(0), count, kWidth, kHeight);
    }

    QTemporaryDir dir_;
    quint16 port_ = 0;
    std::unique_ptr<CopyProcess> copy_;
};

TEST_F(ControlApiTest, ARunLoadedSwitchedOnAndMovedThroughTheApiReachesTheReceiver)
{
    const QRgb colours[] = {qRgba(250, 0, 0, 255), qRgba(0, 250, 0, 255)};
    const QString first = Picture(QStringLiteral("sting1.png"), colours[0]);
    Picture(QStringLiteral("sting2.png"), colours[1]);
    Launch(QStringLiteral("127.0.0.1"), {QStringLiteral("--control-files"), QStringLiteral("/")});  // any file

    Answer loaded = Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"),
                         QJsonDocument(QJsonObject{{"file", first}, {"on", true}}).toJson());
    ASSERT_EQ(loaded.status, 200) << loaded.body.toStdString();
    EXPECT_EQ(loaded.json()["overlay"].toObject()["frames"].toInt(), 2) << "the whole run, without a question";
    EXPECT_TRUE(loaded.json()["overlay"].toObject()["on"].toBool());
    std::set<QRgb> seen;
    for (const QByteArray& frame : Frames(4)) {
        seen.insert(PixelAt(frame, kWidth - 1, 0));  // upper right, the corner at start
        EXPECT_EQ(qAlpha(PixelAt(frame, kWidth - 41, 0)), 0);
    }
    EXPECT_EQ(seen, (std::set<QRgb>{colours[0], colours[1]})) << "both pictures play";

    const Answer moved = Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"),
                              R"({"corner": "lower-left", "x": 10, "y": 20})");
    ASSERT_EQ(moved.status, 200) << moved.body.toStdString();
    const QByteArray frame = Frames(1).front();
    EXPECT_NE(qAlpha(PixelAt(frame, 10, kHeight - 21)), 0) << "10 in from the left, 20 up from the bottom";
    EXPECT_EQ(qAlpha(PixelAt(frame, 9, kHeight - 21)), 0);
    EXPECT_EQ(qAlpha(PixelAt(frame, kWidth - 1, 0)), 0) << "gone from the old corner";

    const Answer off = Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"), R"({"on": false})");
    ASSERT_EQ(off.status, 200) << off.body.toStdString();
    for (const QByteArray& bare : Frames(2))
        EXPECT_EQ(bare, QByteArray(kWidth * kHeight * 4, '\0')) << "off takes the logo off the air";
    const Answer on = Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"), R"({"on": true})");
    ASSERT_EQ(on.status, 200) << on.body.toStdString();
    EXPECT_NE(qAlpha(PixelAt(Frames(1).front(), 10, kHeight - 21)), 0) << "and on brings it back";

    const QString gif = dir_.filePath(QStringLiteral("sting.gif"));
    ASSERT_TRUE(test::EncodeAnimation(gif, test::AnimationColours(255), 40, 20, 10, {}));
    const Answer animated = Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"),
                                 QJsonDocument(QJsonObject{{"file", gif}}).toJson());
    ASSERT_EQ(animated.status, 200) << animated.body.toStdString();
    EXPECT_EQ(animated.json()["overlay"].toObject()["frames"].toInt(), 12) << "the GIF's every frame";
    const Answer timed = Curl(QStringLiteral("POST"), QStringLiteral("/api/playback"), R"({"run_rate": 25})");
    ASSERT_EQ(timed.status, 200) << timed.body.toStdString();
    EXPECT_EQ(timed.json()["playback"].toObject()["run_rate"].toInt(), 25);

    const Answer picture = Curl(QStringLiteral("GET"), QStringLiteral("/api/output.png"));
    ASSERT_EQ(picture.status, 200);
    const QImage output = QImage::fromData(picture.body, "PNG");
    ASSERT_EQ(output.size(), QSize(kWidth, kHeight));
    EXPECT_NE(qAlpha(output.pixel(10, kHeight - 21)), 0) << "the API's own picture shows it too";
    EXPECT_EQ(qAlpha(output.pixel(kWidth / 2, kHeight / 2)), 0) << "with the frame's transparency";

    // A JPEG has no alpha channel: it loads fully transparent, which the copy says once.
    QImage opaque(40, 20, QImage::Format_RGB32);
    opaque.fill(qRgb(200, 200, 0));
    const QString jpeg = dir_.filePath(QStringLiteral("plain.jpg"));
    ASSERT_TRUE(opaque.save(jpeg));
    const Answer invisible = Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"),
                                  QJsonDocument(QJsonObject{{"file", jpeg}, {"on", true}}).toJson());
    ASSERT_EQ(invisible.status, 200) << invisible.body.toStdString();
    EXPECT_TRUE(invisible.json()["overlay"].toObject()["invisible"].toBool());
    const Answer solid = Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"), R"({"solid": true})");
    EXPECT_FALSE(solid.json()["overlay"].toObject()["invisible"].toBool()) << solid.body.toStdString();
    const QString said = QStringLiteral("no pixel of this logo shows");
    EXPECT_TRUE(test::SpinUntil([&] { return copy_->Errors().contains(said); }, kBound_ms));
    EXPECT_EQ(copy_->Errors().count(said), 1) << copy_->Errors().toStdString();
}

// A copy started with the look of a channel's bug keeps it through the API, which changes it,
// says it, and stops the cycle when the logo is switched off by hand. The 40 x 20 logo shows at
// half its size, then fitted to 360 lines (a third).
TEST_F(ControlApiTest, OpacityScaleFadeSafeAreaAndCycleSetAtLaunchAndThroughTheApiReachTheReceiver)
{
    const QString logo = Picture(QStringLiteral("bug.png"), qRgba(10, 200, 30, 255));
    Launch(QStringLiteral("127.0.0.1"), {QStringLiteral("--overlay"), logo, QStringLiteral("--on"), QStringLiteral("--opacity"),
                                         QStringLiteral("70"), QStringLiteral("--fade"), QStringLiteral("0.2"),
                                         QStringLiteral("--safe-area"), QStringLiteral("graphics"),
                                         QStringLiteral("--scale"), QStringLiteral("50")});
    const QJsonObject started = Curl(QStringLiteral("GET"), QStringLiteral("/api/state")).json()["overlay"].toObject();
    EXPECT_EQ(started["opacity"].toInt(), 70);
    EXPECT_EQ(started["fade_ms"].toInt(), 200);
    EXPECT_EQ(started["safe_area"].toString(), QStringLiteral("graphics"));
    EXPECT_EQ(started["scale"].toInt(), 50);
    EXPECT_EQ(started["cycle"].toString(), QStringLiteral("off"));
    EXPECT_TRUE(started["cycle_next_ms"].isNull());
    const int right = kWidth - 32 - 1, top = 18;  // graphics safe: 5 % of 640 and of 360 in
    const QByteArray frame = Frames(1).front();
    EXPECT_EQ(PixelAt(frame, right, top), qRgba(10, 200, 30, 179)) << "70 % of 255 is 178.5, rounded up";
    EXPECT_EQ(qAlpha(PixelAt(frame, right + 1, top)), 0);
    EXPECT_EQ(qAlpha(PixelAt(frame, right, top - 1)), 0);
    EXPECT_EQ(PixelAt(frame, right - 19, top + 9), qRgba(10, 200, 30, 179)) << "the half-size logo's far corner";
    EXPECT_EQ(qAlpha(PixelAt(frame, right - 20, top)), 0);
    EXPECT_EQ(qAlpha(PixelAt(frame, right, top + 10)), 0);

    const Answer changed = Post(QStringLiteral("/api/overlay"),
                                {{"opacity", 100}, {"fade_ms", 0}, {"safe_area", "edge"}, {"cycle", "1h/2h/1h"}, {"scale", "fit"}});
    ASSERT_EQ(changed.status, 200) << changed.body.toStdString();
    const QJsonObject cycled = changed.json()["overlay"].toObject();
    EXPECT_EQ(cycled["cycle"].toString(), QStringLiteral("1h/2h/1h"));
    EXPECT_EQ(cycled["scale"].toString(), QStringLiteral("fit"));
    EXPECT_GT(cycled["cycle_next_ms"].toInteger(), 3590000) << "the first showing comes after the delay";
    for (const QByteArray& hidden : Frames(2))
        EXPECT_EQ(hidden, QByteArray(kWidth * kHeight * 4, '\0')) << "the cycle hides the logo until then";
    const QString metrics = QString::fromUtf8(Curl(QStringLiteral("GET"), QStringLiteral("/metrics")).body);
    EXPECT_TRUE(metrics.contains(QStringLiteral("\nndivantor_overlay_cycle 1\n"))) << metrics.toStdString();
    EXPECT_TRUE(metrics.contains(QStringLiteral("\nndivantor_overlay_opacity_percent 100\n")));

    ASSERT_EQ(Post(QStringLiteral("/api/overlay"), {{"on", false}}).status, 200);
    const Answer on = Post(QStringLiteral("/api/overlay"), {{"on", true}});
    EXPECT_EQ(on.json()["overlay"].toObject()["cycle"].toString(), QStringLiteral("off")) << "Off stopped the cycle";
    const QByteArray fitted = Frames(1).front();
    EXPECT_EQ(PixelAt(fitted, kWidth - 1, 0), qRgba(10, 200, 30, 255)) << "at the edge, whole";
    EXPECT_EQ(PixelAt(fitted, kWidth - 13, 6), qRgba(10, 200, 30, 255)) << "fitted: 13 x 7";
    EXPECT_EQ(qAlpha(PixelAt(fitted, kWidth - 14, 0)), 0);
    EXPECT_EQ(qAlpha(PixelAt(fitted, kWidth - 1, 7)), 0);
    const Answer refused = Post(QStringLiteral("/api/overlay"), {{"cycle", "10m/10s"}});
    EXPECT_EQ(refused.status, 400);
    EXPECT_TRUE(refused.body.contains("cycle takes SHOW/EVERY")) << refused.body.toStdString();
}

// A run's last picture is held through a pause of a minute; what changes meanwhile goes out
// with the next frame and is held in turn.
TEST_F(ControlApiTest, ChangesDuringAMinutesPauseReachTheReceiverAtOnce)
{
    const QRgb red = qRgba(250, 0, 0, 255), green = qRgba(0, 250, 0, 255), blue = qRgba(0, 0, 250, 255);
    const QRgb white = qRgba(250, 250, 250, 255);
    const QString run = Picture(QStringLiteral("sting1.png"), red);
    Picture(QStringLiteral("sting2.png"), green);
    const QString still = Picture(QStringLiteral("bug.png"), blue);
    const QString next_run = Picture(QStringLiteral("wipe1.png"), white);
    Picture(QStringLiteral("wipe2.png"), red);
    Launch(QStringLiteral("127.0.0.1"), {QStringLiteral("--control-files"), QStringLiteral("/")});
    ASSERT_EQ(Post(QStringLiteral("/api/overlay"), {{"file", run}, {"on", true}}).status, 200);
    ASSERT_EQ(Post(QStringLiteral("/api/playback"), {{"pause", 60}, {"unit", "seconds"}}).status, 200);
    test::SpinFor(300);  // the pass of two frames has ended
    for (const QByteArray& frame : Frames(3))
        ASSERT_EQ(PixelAt(frame, kWidth - 1, 0), green) << "the pause holds the pass's last picture";

    const struct {
        const char* what;
        QJsonObject body;
        QRgb colour;
        int x, y;  // where it shows
    } changes[] = {
        {"a still", {{"file", still}}, blue, kWidth - 1, 0},
        {"a corner", {{"corner", "lower-left"}}, blue, 0, kHeight - 1},
        {"a run", {{"file", next_run}}, white, 0, kHeight - 1},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.what);
        const Answer answer = Post(QStringLiteral("/api/overlay"), change.body);
        ASSERT_EQ(answer.status, 200) << answer.body.toStdString();
        for (const QByteArray& frame : Frames(2))
            EXPECT_EQ(PixelAt(frame, change.x, change.y), change.colour);
    }
    const QImage output = QImage::fromData(Curl(QStringLiteral("GET"), QStringLiteral("/api/output.png")).body, "PNG");
    ASSERT_EQ(output.size(), QSize(kWidth, kHeight));
    EXPECT_GT(qBlue(output.pixel(0, kHeight - 1)), 200) << "the API's picture of the output shows the new run";
    EXPECT_GT(qRed(output.pixel(0, kHeight - 1)), 200);
}

// One-Shot's pass has ended and holds its last picture until Go: a new place and a new picture
// show at once, held. Go is armed only while it would start a pass, and the state says so.
TEST_F(ControlApiTest, AfterAOneShotPassChangesShowAndGoIsArmedOnlyWhenItWouldStartAPass)
{
    const QRgb green = qRgba(0, 250, 0, 255), blue = qRgba(0, 0, 250, 255);
    const QString run = Picture(QStringLiteral("sting1.png"), qRgba(250, 0, 0, 255));
    Picture(QStringLiteral("sting2.png"), green);
    const QString still = Picture(QStringLiteral("bug.png"), blue);
    Launch(QStringLiteral("127.0.0.1"), {QStringLiteral("--control-files"), QStringLiteral("/")});
    ASSERT_EQ(Post(QStringLiteral("/api/overlay"), {{"file", run}, {"on", true}}).status, 200);
    const Answer one_shot = Post(QStringLiteral("/api/playback"), {{"one_shot", true}});
    EXPECT_TRUE(one_shot.json()["playback"].toObject()["armed"].toBool()) << "nothing counted down: Go is armed";
    ASSERT_TRUE(test::SpinUntil([&] { return !Armed(); }, kBound_ms)) << "the pass has ended";

    ASSERT_EQ(Post(QStringLiteral("/api/overlay"), {{"corner", "lower-left"}}).status, 200);
    const QByteArray moved = Frames(1).front();
    EXPECT_EQ(PixelAt(moved, 0, kHeight - 1), green) << "the held picture in its new corner";
    EXPECT_EQ(qAlpha(PixelAt(moved, kWidth - 1, 0)), 0);
    ASSERT_EQ(Post(QStringLiteral("/api/overlay"), {{"file", still}}).status, 200);
    for (const QByteArray& frame : Frames(2))
        EXPECT_EQ(PixelAt(frame, 0, kHeight - 1), blue) << "the new picture, held as a still";

    const struct {
        const char* what;
        const char* path;
        QJsonObject body;
        int status;
        bool armed;
    } steps[] = {
        {"Go on a still", "/api/go", {}, 409, false},
        {"a run loaded off air", "/api/overlay", {{"file", run}, {"on", false}}, 200, false},
        {"Go on the run, which waits for the overlay", "/api/go", {}, 200, true},
        {"One-Shot off, no pause", "/api/playback", {{"one_shot", false}}, 200, false},
        {"Go with nothing to wait for it", "/api/go", {}, 409, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        const Answer answer = Post(QString::fromLatin1(step.path), step.body);
        EXPECT_EQ(answer.status, step.status) << answer.body.toStdString();
        EXPECT_EQ(Armed(), step.armed);
    }
}

// The page's tap and a panel's request alike: a file loaded without "on" changes nothing of On
// and Off, whatever its kind.
TEST_F(ControlApiTest, AFileLoadedWithoutOnKeepsTheOverlayOnOrOffWhateverItsKind)
{
    const QString still = Picture(QStringLiteral("bug.png"), qRgba(0, 0, 250, 255));
    const QString run = Picture(QStringLiteral("sting1.png"), qRgba(250, 0, 0, 255));
    Picture(QStringLiteral("sting2.png"), qRgba(0, 250, 0, 255));
    const QString gif = dir_.filePath(QStringLiteral("sting.gif"));
    ASSERT_TRUE(test::EncodeAnimation(gif, test::AnimationColours(255), 40, 20, 10, {}));
    Launch(QStringLiteral("127.0.0.1"), {QStringLiteral("--control-files"), QStringLiteral("/")});
    const struct {
        const char* what;
        QString file;
        bool on;
    } loads[] = {
        {"a still, on", still, true}, {"an animation, on", gif, true}, {"a run, on", run, true},
        {"a still, off", still, false}, {"an animation, off", gif, false},
    };
    for (const auto& load : loads) {
        SCOPED_TRACE(load.what);
        ASSERT_EQ(Post(QStringLiteral("/api/overlay"), {{"file", run}, {"on", load.on}}).status, 200);
        const Answer loaded = Post(QStringLiteral("/api/overlay"), {{"file", load.file}});
        ASSERT_EQ(loaded.status, 200) << loaded.body.toStdString();
        EXPECT_EQ(loaded.json()["overlay"].toObject()["on"].toBool(), load.on);
        EXPECT_EQ(qAlpha(PixelAt(Frames(1).front(), kWidth - 1, 0)) != 0, load.on) << "on air as the state says";
    }
}

// A stopped copy's source still listens: the state says what its receivers hold, and a
// receiver that connects then gets the clear frame it speaks of.
TEST_F(ControlApiTest, TheStateSaysWhatTheReceiversOfAStoppedCopyHold)
{
    Launch(QStringLiteral("127.0.0.1"), {QStringLiteral("--control-files"), QStringLiteral("/")});
    const QJsonObject logo{{"file", Picture(QStringLiteral("bug.png"), qRgba(250, 0, 0, 255))}, {"on", true}};
    ASSERT_EQ(Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"), QJsonDocument(logo).toJson()).status, 200);
    const struct {
        const char* path;
        const char* body;
        bool sending, clear_frame;
    } steps[] = {
        {"/api/stop", "", false, true},
        {"/api/format", R"({"size": "960x540"})", false, false},  // the new format's first frame shows the logo
        {"/api/start", "", true, false},
        {"/api/stop", "", false, true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.path);
        const Answer answer = Curl(QStringLiteral("POST"), QString::fromLatin1(step.path), step.body);
        ASSERT_EQ(answer.status, 200) << answer.body.toStdString();
        const QJsonObject state = answer.json();
        EXPECT_EQ(state["sending"].toBool(), step.sending);
        EXPECT_TRUE(state["on_network"].toBool());
        EXPECT_EQ(state["clear_frame"].toBool(), step.clear_frame);
    }
    const auto port = test::SourcePortOf(copy_->pid());
    ASSERT_TRUE(port.has_value());
    const auto frames = test::GrabFrames(*port, 1, 960, 540);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], QByteArray(960 * 540 * 4, '\0')) << "the logo stays keyed on a newcomer";
}

// A copy as the packaged service runs it: its setup file (with the API in it) and --restore.
// Killed, it comes back with what the operator changed through the API, and with its API;
// the setup file is read, never written.
TEST_F(ControlApiTest, AServiceCopyKilledComesBackWithItsApiAndTheLogoSetThroughIt)
{
    const QRgb blue = qRgba(0, 0, 250, 255);
    Picture(QStringLiteral("first.png"), qRgba(250, 0, 0, 255));
    const QString second = Picture(QStringLiteral("second.png"), blue);
    const QByteArray state_home = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", dir_.filePath(QStringLiteral("state")).toLocal8Bit());
    port_ = test::FreeLocalPort();
    const QString config = dir_.filePath(QStringLiteral("studio.conf"));
    const QByteArray text =
        QStringLiteral("overlay=first.png\non=true\nsize=640x360\ncontrol=127.0.0.1:%1\n").arg(port_).toUtf8();
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();
    const QStringList service{QStringLiteral("--config"), config, QStringLiteral("--restore")};
    copy_ = std::make_unique<CopyProcess>(kNoBus, test::HeadlessProgram(), service);
    ASSERT_TRUE(copy_->WaitForCount(QStringLiteral("Sending"), 1, kBound_ms)) << copy_->Errors().toStdString();

    const Answer changed = Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"),
                                QJsonDocument(QJsonObject{{"file", second}, {"on", true}, {"corner", "lower-left"}}).toJson());
    ASSERT_EQ(changed.status, 200) << changed.body.toStdString();
    QFile remembered(dir_.filePath(QStringLiteral("state/ndivantor/copy1.conf")));
    ASSERT_TRUE(test::SpinUntil(
        [&] {
            remembered.open(QIODevice::ReadOnly);
            const QByteArray saved = remembered.readAll();
            remembered.close();
            return saved.contains("second.png") && saved.contains("corner=lower-left");
        },
        kBound_ms));
    copy_->Kill();
    copy_ = std::make_unique<CopyProcess>(kNoBus, test::HeadlessProgram(), service);
    ASSERT_TRUE(copy_->WaitForCount(QStringLiteral("Sending"), 1, kBound_ms)) << copy_->Errors().toStdString();
    qputenv("XDG_STATE_HOME", state_home);

    const Answer state = Curl(QStringLiteral("GET"), QStringLiteral("/api/state"));
    ASSERT_EQ(state.status, 200) << "the API is back";
    EXPECT_EQ(state.json()["overlay"].toObject()["file"].toString(), second);
    const QByteArray frame = Frames(1).front();
    EXPECT_EQ(PixelAt(frame, 0, kHeight - 1), blue) << "the logo set through the API, in its corner";
    EXPECT_EQ(qAlpha(PixelAt(frame, kWidth - 1, 0)), 0);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), text) << "the setup file is untouched";
}

struct Said {
    const char* what;
    const char* method;
    QString path;
    QByteArray body;
    int status;
    QString field;          // "overlay.x", "error", or "header Retry-After"
    const char* expected;   // the start of its value as text; null: the answer has no such field
};

// Reads a field of an answer as text: a JSON field (one level of object at most) or a header.
std::optional<QString> FieldOf(const Answer& answer, const QString& field)
{
    if (field.startsWith(QStringLiteral("header "))) {
        const QByteArray value = answer.Header(field.mid(7).toLatin1());
        return value.isEmpty() ? std::nullopt : std::optional(QString::fromLatin1(value));
    }
    const QStringList names = field.split(u'.');
    QJsonValue value = answer.json().value(names.front());
    if (names.size() > 1)
        value = value.toObject().value(names.back());
    return value.isUndefined() ? std::nullopt : std::optional(value.toVariant().toString());
}

// Before anything goes wrong on air, the answers say so: a logo that would not show, an offset
// that leaves the frame, an upload that replaces the file the logo on air came from.
TEST_F(ControlApiTest, AnswersSayWhatWouldNotShowBeforeOrAsItHappens)
{
    QImage opaque(40, 20, QImage::Format_RGB32);
    opaque.fill(qRgb(200, 200, 0));
    const QString jpeg = dir_.filePath(QStringLiteral("plain.jpg"));
    ASSERT_TRUE(opaque.save(jpeg));
    const QString logo = Picture(QStringLiteral("logo.png"), qRgba(250, 0, 0, 255));
    Picture(QStringLiteral("other.png"), qRgba(0, 250, 0, 255));
    const QByteArray green = FileBytes(dir_.filePath(QStringLiteral("other.png")));
    const QString token = QStringLiteral("studio-secret-42");
    Launch(QStringLiteral("127.0.0.1"),
           {QStringLiteral("--control-files"), dir_.path(), QStringLiteral("--control-token"), token});
    const QStringList bearer{QStringLiteral("-H"), QStringLiteral("Authorization: Bearer ") + token};
    const auto load = [](const QString& file, bool on) {
        return QJsonDocument(QJsonObject{{"file", file}, {"on", on}}).toJson();
    };
    const QString outside = QStringLiteral(" puts the logo wholly outside the 640x360 frame: the largest offset that "
                                           "keeps a pixel of it in is 639,359");
    const QString unseen = jpeg + QStringLiteral(": no pixel of this logo shows");
    const std::string unseen_start = unseen.toStdString(), past_right = ("offset 640,0" + outside).toStdString(),
                      past_bottom = ("offset 639,360" + outside).toStdString();
    const Said cases[] = {
        {"the largest offsets in the state", "GET", "/api/state", {}, 200, "overlay.x_max", "639"},
        {"an invisible picture loaded on", "POST", "/api/overlay", load(jpeg, true), 200, "warning", unseen_start.c_str()},
        {"and switched on again", "POST", "/api/overlay", R"({"on": true})", 200, "warning", unseen_start.c_str()},
        {"but not moved", "POST", "/api/overlay", R"({"x": 5})", 200, "warning", nullptr},
        {"its thumbnail", "GET", "/api/files/plain.jpg/thumb.png", {}, 200, "header X-Picture-Invisible", "true"},
        {"its thumbnail again, as kept", "GET", "/api/files/plain.jpg/thumb.png", {}, 200, "header X-Picture-Invisible",
         "true"},
        {"a visible picture's thumbnail", "GET", "/api/files/logo.png/thumb.png", {}, 200, "header X-Picture-Invisible", nullptr},
        {"a visible picture loaded on", "POST", "/api/overlay", load(logo, true), 200, "warning", nullptr},
        {"an offset past the right edge", "POST", "/api/overlay", R"({"x": 640})", 400, "error", past_right.c_str()},
        {"the largest offset that keeps a pixel in", "POST", "/api/overlay", R"({"x": 639, "y": 359})", 200, "overlay.x", "639"},
        {"past the bottom, X kept", "POST", "/api/overlay", R"({"y": 360})", 400, "error", past_bottom.c_str()},
        {"an upload over the logo's file", "PUT", "/api/files/logo.png", green, 200, "replaces_on_air", "true"},
        {"an upload of another file", "PUT", "/api/files/new.png", green, 200, "replaces_on_air", "false"},
    };
    for (const Said& said : cases) {
        SCOPED_TRACE(said.what);
        const Answer answer = Curl(QString::fromLatin1(said.method), said.path, said.body, bearer);
        EXPECT_EQ(answer.status, said.status) << answer.body.toStdString();
        const auto value = FieldOf(answer, said.field);
        EXPECT_EQ(value.has_value(), said.expected != nullptr) << answer.head.toStdString() << answer.body.toStdString();
        if (value && said.expected) {
            EXPECT_TRUE(value->startsWith(QString::fromUtf8(said.expected))) << value->toStdString();
        }
    }
    EXPECT_EQ(PixelAt(Frames(1).front(), 0, 359), qRgba(250, 0, 0, 255))
        << "the refused offsets changed nothing: the logo's one pixel in the frame, and still the old picture";

    // Ten wrong tokens, the tenth refused at once: then even the right one waits, and the answer
    // says how long.
    for (int i = 1; i <= 10; ++i)
        ASSERT_EQ(Curl(QStringLiteral("GET"), QStringLiteral("/api/state"), {}, {"-H", "Authorization: Bearer wrong"}).status,
                  i < 10 ? 401 : 429);
    const Answer refused = Curl(QStringLiteral("GET"), QStringLiteral("/api/state"), {}, bearer);
    EXPECT_EQ(refused.status, 429);
    const int wait_s = refused.Header("Retry-After").toInt();
    EXPECT_TRUE(wait_s > 0 && wait_s <= 60) << refused.head.toStdString();
    EXPECT_EQ(refused.json()["error"].toString(),
              QStringLiteral("too many wrong tokens from this address: wait %1 s").arg(wait_s));
}

struct BadRequest {
    const char* what;
    const char* method;
    const char* path;
    QByteArray body;
    QStringList curl_options;
    int status;
    QString error;  // the start of the answer's error
};

// The state without what changes by itself: the lamp blinks, receivers come and go.
QJsonObject Settled(QJsonObject state)
{
    state.remove(QStringLiteral("lamp"));
    state.remove(QStringLiteral("receivers"));
    return state;
}

TEST_F(ControlApiTest, WrongRequestsAnswer4xxAndChangeNothing)
{
    const QString token = QStringLiteral("studio-secret-42");
    Launch(QStringLiteral("0.0.0.0"),
           {QStringLiteral("--control-token"), token, QStringLiteral("--control-files"), dir_.path()});
    const QStringList bearer{QStringLiteral("-H"), QStringLiteral("Authorization: Bearer ") + token};
    const QString folder = dir_.path();
    QDir(folder).mkdir(QStringLiteral("logos.png"));
    QTemporaryDir elsewhere;
    const QString secret = test::SaveSolidPicture(elsewhere.filePath(QStringLiteral("secret.png")), 40, 20, qRgb(9, 9, 9));
    QFile::link(secret, folder + QStringLiteral("/link.png"));
    const auto overlay = [](const QString& file) { return QJsonDocument(QJsonObject{{"file", file}}).toJson(); };
    const QString outside = QStringLiteral("the file is outside %1, the only folder files load from").arg(folder);
    const QByteArray picture = QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==");
    const BadRequest cases[] = {
        {"no token", "GET", "/api/state", {}, {}, 401, "a token is needed"},
        {"a wrong token", "POST", "/api/stop", {}, {"-H", "Authorization: Bearer studio-secret-43"}, 401, "a token"},
        {"a true prefix of the token", "POST", "/api/stop", {}, {"-H", "Authorization: Bearer studio-secret-4"}, 401,
         "a token"},
        {"malformed JSON", "POST", "/api/overlay", R"({"x": 10,)", bearer, 400, "the body is not a JSON object"},
        {"not an object", "POST", "/api/playback", "[1, 2]", bearer, 400, "the body is not a JSON object"},
        {"an unknown field", "POST", "/api/overlay", R"({"x": 10, "colour": "red"})", bearer, 400,
         "unknown field \"colour\""},
        {"an offset out of range", "POST", "/api/overlay", R"({"x": 10, "y": 1101})", bearer, 400,
         "y takes a whole number from 0 to 1100"},
        {"a fraction", "POST", "/api/overlay", R"({"x": 10.5})", bearer, 400, "x takes a whole number"},
        {"a wrong word", "POST", "/api/playback", R"({"mode": "sideways"})", bearer, 400, "mode takes forward"},
        {"a run rate out of range", "POST", "/api/playback", R"({"run_rate": 121})", bearer, 400,
         "run_rate takes a whole number from 0 to 120"},
        {"a scale out of range", "POST", "/api/overlay", R"({"scale": 401})", bearer, 400,
         "scale takes a whole number from 1 to 400"},
        {"a scale as a word other than fit", "POST", "/api/overlay", R"({"scale": "50"})", bearer, 400,
         "scale takes a percentage from 1 to 400, such as 50, or fit, not \"50\""},
        {"a folder as the overlay", "POST", "/api/overlay",
         QJsonDocument(QJsonObject{{"file", folder + "/logos.png"}}).toJson(), bearer, 400,
         folder + "/logos.png: This is a folder"},
        {"a file outside the folder", "POST", "/api/overlay", overlay(secret), bearer, 403, outside},
        {"a missing file outside", "POST", "/api/overlay", overlay(elsewhere.filePath("gone.png")), bearer, 403, outside},
        {"a folder's file outside", "POST", "/api/overlay", overlay("/root/.profile"), bearer, 403, outside},
        {"a way out by ..", "POST", "/api/overlay", overlay(folder + "/../" + QDir(elsewhere.path()).dirName() +
                                                             "/secret.png"), bearer, 403, outside},
        {"a link in the folder leading out", "POST", "/api/overlay", overlay(folder + "/link.png"), bearer, 403, outside},
        {"a path with a NUL", "POST", "/api/overlay",
         overlay(folder + "/../" + QDir(elsewhere.path()).dirName() + "/secret.png" + QChar(0)), bearer, 400,
         "file takes a path without control characters"},
        {"a 1 MB body", "POST", "/api/overlay", QByteArray(1 << 20, ' '), bearer, 413, "the request is larger"},
        {"a body of 64 KB and a byte", "POST", "/api/overlay", QByteArray(64 * 1024 + 1, ' '), bearer, 413,
         "the request is larger"},
        {"a form", "POST", "/api/stop", "on=1", bearer + QStringList{"-H", "Content-Type: application/x-www-form-urlencoded"},
         415, "a POST takes a JSON body"},
        {"a text", "POST", "/api/overlay", R"({"x": 10})", bearer + QStringList{"-H", "Content-Type: text/plain"}, 415,
         "a POST takes a JSON body"},
        {"a format while sending", "POST", "/api/format", R"({"size": "1280x720"})", bearer, 409,
         "the format changes only while the copy is stopped"},
        {"another page's request", "POST", "/api/stop", {}, bearer + QStringList{"-H", "Origin: http://evil.example"},
         403, "requests from other pages"},
        {"a wrong method", "GET", "/api/start", {}, bearer, 405, "/api/start takes POST"},
        {"no such request", "GET", "/api/bogus", {}, bearer, 404, "no such request"},
        {"an upload over 64 MB", "PUT", "/api/files/big.png", QByteArray((64 << 20) + 1, 'x'), bearer, 413,
         "the request is larger than 64 MB"},
        {"an upload that is not a picture", "PUT", "/api/files/notes.png", "not a picture", bearer, 422,
         "notes.png: This is not a picture or movie in a format the program reads (BMP, GIF, JPEG, PNG, TIFF, WebP; "
         "MOV, MP4, MKV, WebM)."},
        {"an upload named as a movie that is none", "PUT", "/api/files/clip.mov", "not a movie", bearer, 422,
         "clip.mov: The file is not a movie"},
        {"an upload named with control characters", "PUT", "/api/files/bug%0A%1B%5B31m.png", picture, bearer, 400,
         "\"bug\n\x1b[31m.png\" is not a name"},
        {"an upload too large to hold", "PUT", "/api/files/huge.png", test::PngDeclaring(100000, 100000), bearer,
         422, "huge.png: The picture is too large to hold"},
        {"an upload with a hidden name", "PUT", "/api/files/.hidden.png", picture, bearer, 400,
         "\".hidden.png\" is not a name for a file here"},
        {"an upload named out of the folder", "PUT", "/api/files/..%2Fescaped.png", picture, bearer, 400,
         "\"../escaped.png\" is not a name"},
        {"an upload without the token", "PUT", "/api/files/logo.png", picture, {}, 401, "a token is needed"},
        {"a thumbnail of no file", "GET", "/api/files/gone.png/thumb.png", {}, bearer, 404,
         "gone.png: The file does not exist."},
        {"a thumbnail of a link leading out", "GET", "/api/files/link.png/thumb.png", {}, bearer, 404,
         "link.png: The file does not exist."},
        {"a thumbnail for another site's page", "GET", "/api/files/link.png/thumb.png", {},
         bearer + QStringList{"-H", "Sec-Fetch-Site: cross-site"}, 403, "requests from other pages"},
        {"the output for another page", "GET", "/api/output.png", {},
         bearer + QStringList{"-H", "Referer: http://evil.example/logos.html"}, 403, "requests from other pages"},
    };
    const auto state = [&] { return Curl(QStringLiteral("GET"), QStringLiteral("/api/state"), {}, bearer); };
    const Answer before = state();
    ASSERT_EQ(before.status, 200) << before.body.toStdString();
    for (const BadRequest& bad : cases) {
        SCOPED_TRACE(bad.what);
        const Answer answer = Curl(QString::fromLatin1(bad.method), QString::fromLatin1(bad.path), bad.body, bad.curl_options);
        EXPECT_EQ(answer.status, bad.status) << answer.body.toStdString();
        EXPECT_TRUE(answer.json()["error"].toString().startsWith(bad.error)) << answer.body.toStdString();
        EXPECT_EQ(Settled(state().json()), Settled(before.json()));
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("link.png")})
        << "no upload left anything";
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/../escaped.png")));
    // The later pictures of a run come from the folder too: a link among them ends the run.
    Picture(QStringLiteral("run1.png"), qRgb(200, 0, 0));
    QFile::link(secret, folder + QStringLiteral("/run2.png"));
    const Answer run = Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"), overlay(folder + "/run1.png"), bearer);
    ASSERT_EQ(run.status, 200) << run.body.toStdString();
    EXPECT_EQ(run.json()["overlay"].toObject()["frames"].toInt(), 1) << "the linked second picture stays out";
}

TEST_F(ControlApiTest, PicturesUploadedToTheFilesFolderAreListedWithTheirRunsAndThumbnails)
{
    Picture(QStringLiteral("sting1.png"), qRgba(250, 0, 0, 255));
    Picture(QStringLiteral("sting2.png"), qRgba(0, 250, 0, 255));
    Picture(QStringLiteral("sting3.png"), qRgba(0, 0, 250, 255));
    Launch(QStringLiteral("127.0.0.1"), {QStringLiteral("--control-files"), dir_.path()});
    QTemporaryDir elsewhere;
    const QByteArray bug = FileBytes(test::SaveSolidPicture(elsewhere.filePath("bug.png"), 320, 60, qRgba(200, 0, 0, 128)));
    const QByteArray wide = FileBytes(test::SaveSolidPicture(elsewhere.filePath("w.png"), 400, 20, qRgba(1, 2, 3, 4)));
    const auto thumbnail = [this] {
        const Answer thumb = Curl(QStringLiteral("GET"), QStringLiteral("/api/files/bug.png/thumb.png"));
        EXPECT_EQ(thumb.status, 200);
        return QImage::fromData(thumb.body, "PNG");
    };
    ASSERT_EQ(Curl(QStringLiteral("PUT"), QStringLiteral("/api/files/bug.png"), wide).status, 200);
    EXPECT_EQ(thumbnail().size(), QSize(160, 8));
    const Answer stored = Curl(QStringLiteral("PUT"), QStringLiteral("/api/files/bug.png"), bug);
    ASSERT_EQ(stored.status, 200) << stored.body.toStdString();

    const QJsonObject listed = Curl(QStringLiteral("GET"), QStringLiteral("/api/files")).json();
    EXPECT_EQ(listed["folder"].toString(), QFileInfo(dir_.path()).canonicalFilePath());
    const QJsonArray expected{
        QJsonObject{{"name", "bug.png"}, {"size", bug.size()}, {"width", 320}, {"height", 60}},
        QJsonObject{{"name", "sting1.png"}, {"size", QFileInfo(dir_.filePath("sting1.png")).size()},
                    {"width", 40}, {"height", 20}, {"frames", 3}},
        QJsonObject{{"name", "sting2.png"}, {"size", QFileInfo(dir_.filePath("sting2.png")).size()},
                    {"width", 40}, {"height", 20}, {"run", "sting1.png"}},
        QJsonObject{{"name", "sting3.png"}, {"size", QFileInfo(dir_.filePath("sting3.png")).size()},
                    {"width", 40}, {"height", 20}, {"run", "sting1.png"}},
    };
    EXPECT_EQ(listed["files"].toArray(), expected) << "the second upload replaced the first";
    const QImage small = thumbnail();
    EXPECT_EQ(small.size(), QSize(160, 30)) << "the replaced picture's thumbnail";
    EXPECT_EQ(qAlpha(small.pixel(80, 15)), 128) << "with its alpha";
    EXPECT_GT(qRed(small.pixel(80, 15)), 190);
}

struct MovieFile {
    const char* name;
    QStringList encoder;  // ffmpeg's options
    bool uploaded;        // from a phone; otherwise copied into the folder before the copy starts
};

// A sting that fades in: its first frame shows nothing, so the thumbnail shows the second.
TEST_F(ControlApiTest, MoviesUploadedOrCopiedIntoTheFolderAreListedWithFramesAndAThumbnailAndLoad)
{
    const MovieFile movies[] = {
        {"sting.mov", {"-c:v", "qtrle", "-pix_fmt", "argb"}, true},
        {"bug.mov", {"-c:v", "prores_ks", "-profile:v", "4444", "-pix_fmt", "yuva444p10le"}, true},
        {"wipe.webm", {"-c:v", "libvpx-vp9", "-pix_fmt", "yuva420p"}, true},
        {"copied.mov", {"-c:v", "qtrle", "-pix_fmt", "argb"}, false},
    };
    const std::vector<QRgb> colours{qRgba(0, 0, 0, 0), qRgba(250, 0, 0, 255), qRgba(0, 250, 0, 255),
                                    qRgba(0, 0, 250, 255)};
    QTemporaryDir phone;
    for (const MovieFile& movie : movies)
        ASSERT_TRUE(test::EncodeAnimation((movie.uploaded ? phone.path() : dir_.path()) + u'/' + movie.name, colours,
                                          64, 36, 10, movie.encoder)) << movie.name;
    for (const QString& frame : QDir(dir_.path()).entryList({QStringLiteral("*.png")}))
        QFile::remove(dir_.filePath(frame));  // what ffmpeg made the movie from
    Launch(QStringLiteral("127.0.0.1"), {QStringLiteral("--control-files"), dir_.path()});
    for (const MovieFile& movie : movies) {
        SCOPED_TRACE(movie.name);
        const QString name = QString::fromLatin1(movie.name);
        if (movie.uploaded) {
            const Answer stored = Curl("PUT", "/api/files/" + name, FileBytes(phone.filePath(name)),
                                       {"-H", "Content-Type: application/octet-stream"});
            ASSERT_EQ(stored.status, 200) << stored.body.toStdString();
        }
        const QJsonArray files = Curl("GET", "/api/files").json()["files"].toArray();
        const QJsonObject listed{{"name", name}, {"size", QFileInfo(dir_.filePath(name)).size()}, {"width", 64},
                                 {"height", 36}, {"frames", 4}, {"animated", true}};
        EXPECT_TRUE(files.contains(listed)) << QJsonDocument(files).toJson().toStdString();
        const QString thumb = "/api/files/" + name + "/thumb.png";
        const Answer small = Curl("GET", thumb, {}, {"-H", "Sec-Fetch-Site: same-origin"});
        ASSERT_EQ(small.status, 200) << small.body.toStdString();
        const QImage picture = QImage::fromData(small.body, "PNG");
        EXPECT_EQ(picture.size(), QSize(160, 90));
        EXPECT_EQ(qAlpha(picture.pixel(80, 45)), 255) << "the first frame that shows";
        EXPECT_GT(qRed(picture.pixel(80, 45)), 200);
        EXPECT_LT(qGreen(picture.pixel(80, 45)), 50);
        EXPECT_EQ(Curl("GET", thumb, {}, {"-H", "Sec-Fetch-Site: cross-site"}).status, 403) << "another site's <img>";
        const Answer loaded =
            Curl("POST", "/api/overlay", QJsonDocument(QJsonObject{{"file", dir_.filePath(name)}}).toJson());
        ASSERT_EQ(loaded.status, 200) << loaded.body.toStdString();
        EXPECT_EQ(loaded.json()["overlay"].toObject()["frames"].toInt(), 4);
    }
}

// A PNG of side x side transparent pixels, a few MB on disk, that takes seconds to decode.
void WriteHugePng(const QString& path, int side)
{
    const char* script = R"(import struct, sys, zlib
path, side = sys.argv[1], int(sys.argv[2])
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
packer, row = zlib.compressobj(1), bytes(1 + 4 * side)
pixels = b"".join(packer.compress(row) for _ in range(side)) + packer.flush()
head = struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0)
open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", pixels) + chunk(b"IEND", b""))
)";
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(script), path,
                                             QString::number(side)});
    ASSERT_TRUE(python.waitForFinished(kBound_ms * 3) && python.exitCode() == 0)
        << python.readAllStandardError().data();
}

// The service unit kills a copy 10 s after SIGTERM: thumbnails waiting to be decoded never
// hold its shutdown, nor does the one being decoded.
TEST_F(ControlApiTest, SigtermEndsTheCopyPromptlyWithThumbnailsOfAHugePictureWaiting)
{
    ASSERT_NO_FATAL_FAILURE(WriteHugePng(dir_.filePath(QStringLiteral("huge1.png")), 16000));
    for (int i = 2; i <= kWaitingThumbnails; ++i)
        QFile::copy(dir_.filePath(QStringLiteral("huge1.png")), dir_.filePath(QStringLiteral("huge%1.png").arg(i)));
    Launch(QStringLiteral("127.0.0.1"), {QStringLiteral("--control-files"), dir_.path()});
    // Stopped, the copy ends at once rather than after the pause that leaves receivers a clear
    // frame: what is timed is the thumbnails' part alone.
    ASSERT_EQ(Curl("POST", "/api/stop").status, 200);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port_);
    ASSERT_TRUE(socket.waitForConnected(kBound_ms));
    for (int i = 1; i <= kWaitingThumbnails; ++i)
        socket.write(QByteArray("GET /api/files/huge") + QByteArray::number(i) +
                     ".png/thumb.png HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    ASSERT_TRUE(socket.waitForBytesWritten(kBound_ms));
    EXPECT_EQ(Curl("GET", "/api/state").status, 200) << "the copy answers while it decodes";
    QElapsedTimer ending;
    ending.start();
    copy_->Terminate();
    ASSERT_TRUE(copy_->WaitForExit(5000)) << "still running after 5 s";
    const qint64 ended_ms = ending.elapsed();
    EXPECT_TRUE(copy_->EndedCleanly()) << copy_->Errors().toStdString();
    RecordProperty("sigterm_to_exit_ms", int(ended_ms));
    std::cout << "SIGTERM to exit of a stopped copy with " << kWaitingThumbnails
              << " thumbnails of 16000 x 16000 waiting: " << ended_ms << " ms\n";
}

// The folder on a small disk of its own, mounted for the copy alone in a namespace of its own.
TEST_F(ControlApiTest, AnUploadToAFullDiskSaysSoAndLeavesNothingBehind)
{
    const QString small = dir_.filePath(QStringLiteral("small"));
    QDir().mkpath(small);
    if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("true")}) != 0)
        GTEST_SKIP() << "this machine lets no user mount a disk of its own";
    Launch(QStringLiteral("127.0.0.1"), {QStringLiteral("--control-files"), small},
           {"unshare", "-rm", "sh", "-c", R"(mount -t tmpfs -o size=64k tmpfs "$0" && exec "$@")", small});
    const Answer full = Curl("PUT", "/api/files/logo.png", QByteArray(256 * 1024, 'x'),
                             {"-H", "Content-Type: application/octet-stream"});
    EXPECT_EQ(full.status, 507);
    EXPECT_EQ(full.json()["error"].toString(), QStringLiteral("No space left on the files folder's disk"));
    const QDir seen_by_copy(QStringLiteral("/proc/%1/root%2").arg(copy_->pid()).arg(small));
    EXPECT_EQ(seen_by_copy.entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList()) << "nothing stays";
    EXPECT_EQ(Curl("GET", "/api/files").json()["files"].toArray(), QJsonArray());
}

TEST_F(ControlApiTest, WithoutAFilesFolderTheFilesRequestsSayHowToHaveOne)
{
    Launch(QStringLiteral("127.0.0.1"));
    for (const char* method : {"GET", "PUT"}) {
        const Answer answer = Curl(QString::fromLatin1(method), QStringLiteral("/api/files/logo.png"), "x");
        EXPECT_EQ(answer.status, 404);
        EXPECT_TRUE(answer.json()["error"].toString().contains("--control-files DIR")) << answer.body.toStdString();
    }
}

// Neither a run of oversized requests nor idle connections from another address, reopened as
// they are cut, lock the operator out.
TEST_F(ControlApiTest, NeitherOversizedRequestsNorIdleConnectionsLockTheApi)
{
    Launch(QStringLiteral("127.0.0.1"));
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(Curl(QStringLiteral("POST"), QStringLiteral("/api/overlay"), QByteArray(100 * 1024, ' ')).status, 413)
            << "request " << i;
    EXPECT_EQ(Curl(QStringLiteral("GET"), QStringLiteral("/api/state")).status, 200);
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 40; ++i) {
        auto& socket = idle.emplace_back(std::make_unique<QTcpSocket>());
        ASSERT_TRUE(socket->bind(QHostAddress(QStringLiteral("127.0.0.2"))));
        socket->connectToHost(QHostAddress::LocalHost, port_);
        ASSERT_TRUE(socket->waitForConnected(kBound_ms));
    }
    QThread::msleep(500);  // all taken by the copy
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Curl(QStringLiteral("GET"), QStringLiteral("/api/state")).status, 200) << "try " << i;
}

// A raw connection from `address` that has sent `bytes`.
std::unique_ptr<QTcpSocket> Sent(const char* address, quint16 port, const QByteArray& bytes)
{
    auto socket = std::make_unique<QTcpSocket>();
    EXPECT_TRUE(socket->bind(QHostAddress(QString::fromLatin1(address))));
    socket->connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(socket->waitForConnected(kBound_ms));
    socket->write(bytes);
    socket->waitForBytesWritten(kBound_ms);
    return socket;
}

QByteArray Head(const QByteArray& request_line, const QByteArray& lines)
{
    return request_line + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + lines + "\r\n";
}

// Each head is answered, and its connection closed, before a byte of a body is sent.
TEST_F(ControlApiTest, ARequestIsRefusedOnItsHeadBeforeItsBody)
{
    const QByteArray token = "studio-secret-42", right = "Authorization: Bearer " + token + "\r\n";
    Launch(QStringLiteral("0.0.0.0"), {QStringLiteral("--control-token"), token, QStringLiteral("--control-files"), dir_.path()});
    const QByteArray upload = "PUT /api/files/big.png", huge = "Content-Length: 60000000\r\n";
    const struct {
        const char* what;
        QByteArray head;
        int status;
    } cases[] = {
        {"an upload without the token", Head(upload, huge), 401},
        {"an upload with a wrong token", Head(upload, huge + "Authorization: Bearer studio-secret-43\r\n"), 401},
        {"an upload over 64 MB", Head(upload, right + "Content-Length: 67108865\r\n"), 413},
        {"a POST over 64 KB", Head("POST /api/overlay", right + "Content-Length: 65537\r\n"), 413},
        {"a chunked upload", Head(upload, right + "Transfer-Encoding: chunked\r\n"), 411},
        {"headers that never end", "GET /api/state HTTP/1.1\r\nX: " + QByteArray(17000, 'x'), 431},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto socket = Sent("127.0.0.2", port_, c.head);
        QByteArray buffer;
        const auto answer = test::ReadAnswer(*socket, buffer, kBound_ms);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->status, c.status) << answer->body.toStdString();
        EXPECT_TRUE(test::WaitForClose(*socket, kBound_ms));
    }
    // An address that guesses is refused on the head, the token then too; another is not.
    for (int i = 1; i <= 10; ++i) {
        const auto socket = Sent("127.0.0.3", port_, Head(upload, huge + "Authorization: Bearer guess\r\n"));
        QByteArray buffer;
        EXPECT_EQ(test::ReadAnswer(*socket, buffer, kBound_ms).value_or(test::RawAnswer{}).status, i < 10 ? 401 : 429);
    }
    const auto guesser = Sent("127.0.0.3", port_, Head("GET /api/state", right));
    QByteArray buffer;
    EXPECT_EQ(test::ReadAnswer(*guesser, buffer, kBound_ms).value_or(test::RawAnswer{}).status, 429);
    const auto other = Sent("127.0.0.4", port_, Head("GET /api/state", right));
    EXPECT_EQ(test::ReadAnswer(*other, buffer, kBound_ms).value_or(test::RawAnswer{}).status, 200);
}

// The one upload place is held only by an upload with the token, and only while it keeps up.
TEST_F(ControlApiTest, OnlyAnUploadWithTheTokenThatKeepsUpHoldsTheUploadPlace)
{
    const QString token = QStringLiteral("studio-secret-42");
    Launch(QStringLiteral("0.0.0.0"), {QStringLiteral("--control-token"), token, QStringLiteral("--control-files"), dir_.path()});
    const QStringList bearer{QStringLiteral("-H"), QStringLiteral("Authorization: Bearer ") + token};
    const QByteArray picture = FileBytes(test::SaveSolidPicture(dir_.filePath("source.png"), 40, 20, qRgb(1, 2, 3)));
    const QByteArray upload = "PUT /api/files/slow.png";
    const auto tokenless = Sent("127.0.0.2", port_, Head(upload, "Content-Length: 60000000\r\n") + "x");
    EXPECT_EQ(Curl(QStringLiteral("PUT"), QStringLiteral("/api/files/a.png"), picture, bearer).status, 200)
        << "an upload without the token holds nothing";
    const auto slow = Sent("127.0.0.2", port_,
                           Head(upload, "Content-Length: 1000000\r\nAuthorization: Bearer " + token.toUtf8() + "\r\n") + "x");
    QThread::msleep(200);
    const Answer busy = Curl(QStringLiteral("PUT"), QStringLiteral("/api/files/b.png"), picture, bearer);
    EXPECT_EQ(busy.status, 503) << busy.body.toStdString();
    QByteArray buffer;
    const auto dropped = test::ReadAnswer(*slow, buffer, kBound_ms);
    ASSERT_TRUE(dropped.has_value()) << "an upload slower than 64 KB/s is dropped";
    EXPECT_EQ(dropped->status, 408) << dropped->body.toStdString();
    EXPECT_EQ(Curl(QStringLiteral("PUT"), QStringLiteral("/api/files/b.png"), picture, bearer).status, 200);
}

TEST_F(ControlApiTest, PipelinedRequestsAreAnsweredInOrderWithOnePictureAtATimeAndNoFraming)
{
    Launch(QStringLiteral("127.0.0.1"));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port_);
    ASSERT_TRUE(socket.waitForConnected(kBound_ms));
    const auto get = [](const char* path) { return QByteArray("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"; };
    socket.write(get("/api/output.png") + get("/api/output.png") + get("/api/state") + get("/"));
    const std::pair<int, QByteArray> expected[] = {
        {200, "image/png"}, {429, "application/json"}, {200, "application/json"}, {200, "text/html"}};
    QByteArray buffer;
    for (const auto& [status, type] : expected) {
        const auto answer = test::ReadAnswer(socket, buffer, kBound_ms);
        ASSERT_TRUE(answer.has_value()) << "answers before: " << &type - &expected[0].second;
        EXPECT_EQ(answer->status, status) << answer->head.toStdString();
        EXPECT_TRUE(answer->head.contains("Content-Type: " + type)) << answer->head.toStdString();
        EXPECT_TRUE(answer->head.contains("X-Frame-Options: DENY")) << answer->head.toStdString();
        EXPECT_TRUE(answer->head.contains("frame-ancestors 'none'")) << answer->head.toStdString();
    }
}

}  // namespace
}  // namespace vantor
