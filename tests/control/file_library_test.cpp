// The files folder's pictures decode off the thread that answers requests: a thumbnail, or the
// check of an upload, of a huge picture never holds up the window, the API or the page. The
// answer comes once the picture has decoded, and an upload shows in the folder only then.

#include "control/file_library.h"
#include "support/spin_until.h"
#include "test_images.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <semaphore>
#include <thread>

namespace vantor {
namespace {

constexpr int kBoundMs = 20000;  // only reached when something is broken

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

}  // namespace
}  // namespace vantor
