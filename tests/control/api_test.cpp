// The control API of a headless copy driven by curl, as a show's automation drives it: each
// change reaches the output (seen by a real ffmpeg receiver), and wrong requests answer 4xx and
// change nothing.

#include "copy_process.h"
#include "stream_client.h"
#include "test_images.h"
#include "support/qt_printers.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantor {
namespace {

using test::CopyProcess;

constexpr int kBound_ms = 20000;
constexpr int kWidth = 640, kHeight = 360;
const QString kNoBus = QStringLiteral("unix:path=/nonexistent/bus");

struct Answer {
    int status = 0;
    QByteArray body;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QRgb PixelAt(const QByteArray& frame, int x, int y)
{
    const auto* p = reinterpret_cast<const uint8_t*>(frame.constData()) + (size_t(y) * kWidth + x) * 4;
    return qRgba(p[2], p[1], p[0], p[3]);
}

class ControlApiTest : public ::testing::Test {
protected:
    // A copy at 640 x 360 with its API at `address` and a free port.
    void Launch(const QString& address, QStringList arguments = {})
    {
        port_ = FreePort();
        arguments << QStringLiteral("--control") << QStringLiteral("%1:%2").arg(address).arg(port_)
                  << QStringLiteral("--size") << QStringLiteral("640x360");
        copy_ = std::make_unique<CopyProcess>(kNoBus, test::HeadlessProgram(), arguments);
        ASSERT_TRUE(copy_->WaitForCount(QStringLiteral("Sending"), 1, kBound_ms)) << copy_->Errors().toStdString();
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
        QStringList arguments{QStringLiteral("-s"), QStringLiteral("-X"), method, QStringLiteral("-w"),
                              QStringLiteral("\n%{http_code}"), QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path)};
        if (!body.isEmpty())
            arguments << QStringLiteral("--data-binary") << QLatin1Char('@') + body_file;
        QProcess curl;
        curl.start(QStringLiteral("curl"), arguments + more);
        curl.waitForFinished(kBound_ms);
        const QByteArray out = curl.readAllStandardOutput();
        const qsizetype end = out.lastIndexOf('\n');
        return {out.mid(end + 1).toInt(), out.left(end)};
    }

    QString Picture(const QString& name, QRgb colour) { return test::SaveSolidPicture(dir_.filePath(name), 40, 20, colour); }

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
    Launch(QStringLiteral("127.0.0.1"));

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
    const BadRequest cases[] = {
        {"no token", "GET", "/api/state", {}, {}, 401, "a token is needed"},
        {"a wrong token", "POST", "/api/stop", {}, {"-H", "Authorization: Bearer studio-secret-43"}, 401, "a token"},
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
        {"a folder as the overlay", "POST", "/api/overlay",
         QJsonDocument(QJsonObject{{"file", folder + "/logos.png"}}).toJson(), bearer, 400,
         folder + "/logos.png: This is a folder"},
        {"a file outside the folder", "POST", "/api/overlay", R"({"file": "/etc/hostname"})", bearer, 403,
         "/etc/hostname is outside"},
        {"a 1 MB body", "POST", "/api/overlay", QByteArray(1 << 20, ' '), bearer, 413, "the request is larger"},
        {"another page's request", "POST", "/api/stop", {}, bearer + QStringList{"-H", "Origin: http://evil.example"},
         403, "requests from other pages"},
        {"a wrong method", "GET", "/api/start", {}, bearer, 405, "/api/start takes POST"},
        {"no such request", "GET", "/api/bogus", {}, bearer, 404, "no such request"},
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
}

}  // namespace
}  // namespace vantor
