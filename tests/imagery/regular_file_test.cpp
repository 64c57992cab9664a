// A file beneath the files folder opens alike whether the kernel looks its path up at once or,
// where a sandbox refuses openat2, the path is walked a step at a time: the folder's own files
// open, through links that stay inside it too, and nothing outside it ever does.

#include "imagery/regular_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace vantor {
namespace {

// openat2 refused as a seccomp filter refuses it (ENOSYS), or as another sandbox may (EPERM).
template <int kError>
int Refused(int, const QByteArray&, int)
{
    errno = kError;
    return -1;
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

void Link(const QByteArray& target, const QString& at)
{
    ASSERT_EQ(::symlink(target.constData(), QFile::encodeName(at).constData()), 0) << qPrintable(at);
}

// outside.png, next to the folder "files", which holds logo.png, sub/inner.png and links.
class FilesFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("files/sub")));
        Write(Outside(), "outside");
        Write(In("logo.png"), "logo");
        Write(In("sub/inner.png"), "inner");
        Link("../outside.png", In("away.png"));
        Link(QFile::encodeName(Outside()), In("absolute.png"));
        Link("logo.png", In("alias.png"));
        Link("../logo.png", In("sub/up.png"));
        Link("loop.png", In("loop.png"));
    }

    QString Files() const { return root_.filePath(QStringLiteral("files")); }
    QString In(const char* name) const { return Files() + u'/' + QLatin1StringView(name); }
    QString Outside() const { return root_.filePath(QStringLiteral("outside.png")); }

    QTemporaryDir root_;
};

struct Way {
    const char* name;
    OpenBeneath look_up;
};

class FilesFolderBothWays : public FilesFolder, public ::testing::WithParamInterface<Way> {};

struct Row {
    const char* what;
    QString path;     // as a request names it
    QByteArray read;  // what the opened file holds; empty when nothing opens
    bool led_out;
};

// Every row answers alike both ways.
TEST_P(FilesFolderBothWays, OpenTheFolderOwnFilesAndNothingOutside)
{
    const std::vector<Row> rows = {
        {"a file of the folder", In("logo.png"), "logo", false},
        {"a file in a subfolder", In("sub/inner.png"), "inner", false},
        {"a name that climbs back in", In("sub/../logo.png"), "logo", false},
        {"a name with . and //", In("./sub//inner.png"), "inner", false},
        {"a link staying inside", In("alias.png"), "logo", false},
        {"a link climbing to the folder", In("sub/up.png"), "logo", false},
        {"a name climbing out", In("../outside.png"), "", true},
        {"an absolute name after the folder", Files() + u'/' + Outside(), "", true},
        {"a link leading out", In("away.png"), "", true},
        {"an absolute link", In("absolute.png"), "", true},
        {"a link to itself", In("loop.png"), "", true},
        {"a NUL in the name", In("logo.png") + QChar(0) + u'x', "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        bool led_out = !row.led_out;
        const std::unique_ptr<QFile> file = OpenRegularFileBeneath(Files(), row.path, &led_out, GetParam().look_up);
        EXPECT_EQ(file ? file->readAll() : QByteArray(), row.read);
        EXPECT_EQ(led_out, row.led_out);
    }
}

INSTANTIATE_TEST_SUITE_P(LookUps, FilesFolderBothWays,
                         ::testing::Values(Way{"Openat2", OpenBeneathAtOnce},
                                           Way{"StepwiseWhereOpenat2IsMissing", Refused<ENOSYS>},
                                           Way{"StepwiseWhereOpenat2IsForbidden", Refused<EPERM>}),
                         [](const auto& info) { return std::string(info.param.name); });

// Only a sandbox's refusal sends the path to the walk: any other is the kernel's answer.
TEST_F(FilesFolder, AnotherRefusalOfOpenat2IsTheAnswer)
{
    bool led_out = true;
    EXPECT_EQ(OpenRegularFileBeneath(Files(), In("logo.png"), &led_out, Refused<EACCES>), nullptr);
    EXPECT_FALSE(led_out);
}

}  // namespace
}  // namespace vantor
