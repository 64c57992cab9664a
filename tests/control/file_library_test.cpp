// The files folder's pictures decode off the thread that answers requests: a thumbnail, or the
// check of an upload, of a huge picture never holds up the window, the API or the page. The
// answer comes once the picture has decoded, and an upload shows in the folder only then.

#include "control/file_library.h"
#include "support/spin_until.h"
#include "test_images.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <optional>
#include <semaphore>
#include <thread>

namespace vantor {
namespace {

constexpr int kBoundMs = 20000;  // only reached when something is broken
constexpr auto kGet = QHttpServerRequest::Method::Get;

QString ThumbPath(const QString& name) { return QStringLiteral("/api/files/%1/thumb.png").arg(name); }

// A memory gauge that holds the first decode until released, counting every look at it.
struct HeldGauge {
    std::binary_semaphore go_on{0};
    std::atomic<bool> held{false};
    std::atomic<int> looks{0};
    std::atomic<int64_t> room{int64_t{1} << 40};

    MemoryGauge Gauge()
    {
        return [this]() -> std::optional<int64_t> {
            ++looks;
            if (!held.exchange(true))
                go_on.try_acquire_for(std::chrono::milliseconds(kBoundMs));
            return room.load();
        };
    }
};

struct AsideRequest {
    const char* name;
    QHttpServerRequest::Method method;
    const char* path;
    QByteArray type;  // of the answer
};

class FileLibraryAside : public ::testing::TestWithParam<AsideRequest> {};

// The memory gauge runs inside the decode: held there, the decode is caught in the middle.
TEST_P(FileLibraryAside, DecodesOffThisThreadAndAnswersOnceDecoded)
{
    QTemporaryDir dir;
    const QString logo = test::SaveSolidPicture(dir.filePath(QStringLiteral("logo.png")), 8, 6, qRgb(0, 0, 200));
    QFile file(logo);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray body = GetParam().method == QHttpServerRequest::Method::Put ? file.readAll() : QByteArray();
    std::binary_semaphore decoding(0), go_on(0);
    std::atomic<bool> held{false};
    std::atomic<bool> on_this_thread{false};
    const std::thread::id this_thread = std::this_thread::get_id();
    FileLibrary library(dir.path(), [&]() -> std::optional<int64_t> {
        if (!held.exchange(true)) {
            on_this_thread = std::this_thread::get_id() == this_thread;
            decoding.release();
            go_on.try_acquire_for(std::chrono::milliseconds(kBoundMs));
        }
        return std::nullopt;
    });

    std::optional<ApiReply> answer;
    library.Answer(GetParam().method, QString::fromLatin1(GetParam().path), body,
                   [&answer](const ApiReply& reply) { answer = reply; });
    ASSERT_TRUE(decoding.try_acquire_for(std::chrono::milliseconds(kBoundMs)));
    EXPECT_FALSE(on_this_thread);
    test::SpinFor(20);  // events go on being handled meanwhile
    EXPECT_FALSE(answer.has_value());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("new.png")))) << "an upload showed before its check";

    go_on.release();
    ASSERT_TRUE(test::SpinUntil([&] { return answer.has_value(); }, kBoundMs));
    EXPECT_EQ(answer->status, 200) << answer->body.toStdString();
    EXPECT_EQ(answer->type, GetParam().type);
    if (GetParam().method == QHttpServerRequest::Method::Put) {
        EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("new.png"))));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 2) << "the hidden upload stayed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, FileLibraryAside,
    ::testing::Values(AsideRequest{"Thumbnail", QHttpServerRequest::Method::Get, "/api/files/logo.png/thumb.png",
                                   "image/png"},
                      AsideRequest{"Upload", QHttpServerRequest::Method::Put, "/api/files/new.png", "application/json"}),
    [](const auto& info) { return std::string(info.param.name); });

// A page's tiles, or requests sent again and again, ask for one thumbnail many times: it is
// decoded once, and what was made of it, or why nothing was, is kept until the file changes.
TEST(FileLibraryThumbnails, IdenticalRequestsWaitOnOneDecodeWhoseOutcomeIsKeptWhileTheFileStays)
{
    QTemporaryDir dir;
    const QString logo = dir.filePath(QStringLiteral("logo.png"));
    test::SaveSolidPicture(logo, 320, 180, qRgb(0, 0, 200));
    HeldGauge gauge;
    FileLibrary library(dir.path(), gauge.Gauge());
    std::vector<ApiReply> answers;
    const auto ask = [&] {
        library.Answer(kGet, ThumbPath(QStringLiteral("logo.png")), {},
                       [&answers](const ApiReply& reply) { answers.push_back(reply); });
    };
    for (int i = 0; i < 5; ++i)
        ask();
    gauge.go_on.release();
    ASSERT_TRUE(test::SpinUntil([&] { return answers.size() == 5; }, kBoundMs));
    for (const ApiReply& answer : answers) {
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.body, answers.front().body);
    }
    EXPECT_EQ(gauge.looks, 1) << "one decode for five requests";
    ask();
    ASSERT_EQ(answers.size(), 6u) << "the kept thumbnail answers at once";
    EXPECT_EQ(answers.back().body, answers.front().body);
    EXPECT_EQ(gauge.looks, 1);

    // Changed, the picture is decoded again: now past what the machine can give, refused as a load is.
    gauge.room = 0;
    test::SaveSolidPicture(logo, 640, 360, qRgb(200, 0, 0));
    ask();
    ASSERT_TRUE(test::SpinUntil([&] { return answers.size() == 7; }, kBoundMs));
    EXPECT_EQ(answers.back().status, 422);
    EXPECT_TRUE(answers.back().body.contains("not enough memory for a picture of 640 x 360"))
        << answers.back().body.toStdString();
    const int looks = gauge.looks;
    ask();
    ASSERT_EQ(answers.size(), 8u) << "the refusal is kept too";
    EXPECT_EQ(answers.back().body, answers[6].body);
    EXPECT_EQ(gauge.looks, looks);
}

TEST(FileLibraryThumbnails, BeyondAFewWaitingDecodesAThumbnailIsAskedForAgainLater)
{
    QTemporaryDir dir;
    QStringList names;
    for (int i = 0; i <= kMaxThumbnailDecodes; ++i)
        names << QFileInfo(test::SaveSolidPicture(dir.filePath(QStringLiteral("p%1.png").arg(i)), 8, 6, qRgb(i, 0, 0)))
                     .fileName();
    HeldGauge gauge;
    FileLibrary library(dir.path(), gauge.Gauge());
    std::map<QString, ApiReply> answers;
    const auto ask = [&](const QString& name) {
        library.Answer(kGet, ThumbPath(name), {}, [&answers, name](const ApiReply& reply) { answers[name] = reply; });
    };
    for (int i = 0; i < kMaxThumbnailDecodes; ++i)
        ask(names[i]);
    ask(names.back());
    ASSERT_TRUE(answers.count(names.back())) << "answered at once";
    EXPECT_EQ(answers[names.back()].status, 503);
    EXPECT_EQ(answers[names.back()].header, std::make_pair(QByteArray("Retry-After"), QByteArray::number(kThumbnailRetryAfter_s)));
    gauge.go_on.release();
    ASSERT_TRUE(test::SpinUntil([&] { return answers.size() == size_t(names.size()); }, kBoundMs));
    answers.erase(names.back());
    ask(names.back());
    ASSERT_TRUE(test::SpinUntil([&] { return answers.size() == size_t(names.size()); }, kBoundMs));
    for (const auto& [name, answer] : answers)
        EXPECT_EQ(answer.status, 200) << name.toStdString();
}

// A copy killed while it checked an upload leaves its hidden file: the next start removes it,
// but never one that another copy sharing the folder is writing now.
TEST(FileLibraryStart, HiddenUploadsOfCopiesNoLongerRunningAreRemoved)
{
    // Process ids stay below pid_max: none runs under that one.
    QFile limit(QStringLiteral("/proc/sys/kernel/pid_max"));
    ASSERT_TRUE(limit.open(QIODevice::ReadOnly));
    const qint64 gone = limit.readAll().trimmed().toLongLong();
    ASSERT_GT(gone, 0);
    const struct {
        QString name;
        bool kept;
    } files[] = {
        {QStringLiteral(".upload-Ab12Cd"), false},
        {QStringLiteral(".upload-%1-Ab12Cd.mov").arg(gone), false},
        {QStringLiteral(".upload-%1-Ab12Cd.png").arg(getpid()), true},
        {QStringLiteral(".notes"), true},
        {QStringLiteral("logo.png"), true},
    };
    QTemporaryDir dir;
    for (const auto& file : files)
        test::WriteBytes(dir.filePath(file.name), "x");
    const FileLibrary library(dir.path());
    for (const auto& file : files)
        EXPECT_EQ(QFile::exists(dir.filePath(file.name)), file.kept) << file.name.toStdString();
}

}  // namespace
}  // namespace vantor
