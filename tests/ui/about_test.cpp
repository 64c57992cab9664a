// The About box's line, and the program's version read back from its own file.

#include "ui/about_dialog.h"

#include "platform/file_version.h"
#include "qt_printers.h"

#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(AboutLine, NamesBothVersionsAndTheProcessorWidth)
{
    EXPECT_EQ(AboutLine(QStringLiteral("1.0.1.8"), "Vantor built-in NDI runtime 1.0.0"),
              QStringLiteral("NDI Vantor, v1.0.1.8, NDI\u00ae v1.0.0, x64"));
    EXPECT_EQ(AboutLine(QString(), "6.1.1"), QStringLiteral("NDI Vantor, v, NDI\u00ae v6.1.1, x64"))
        << "an empty version, and a runtime text without blanks taken whole";
    CAboutDlg about(QStringLiteral("2.3.4.5"));
    EXPECT_TRUE(about.controls().Get<QLabel>(1022)->text().startsWith(QStringLiteral("NDI Vantor, v2.3.4.5, NDI\u00ae v")));
}

TEST(ReadFileVersion, ReadsTheProgramsNoteAndNothingFromAFileWithout)
{
    const FileVersion version = ReadFileVersion(NDIVANTOR_PATH);
    ASSERT_TRUE(version.valid);
    EXPECT_EQ((std::array{version.major, version.minor, version.build, version.revision}),
              (std::array<uint16_t, 4>{1, 0, 1, 8}));

    QTemporaryDir dir;
    const QString stripped = dir.filePath(QStringLiteral("ndivantor"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("objcopy"), {QStringLiteral("--remove-section=.note.vantor.version"),
                                                            QStringLiteral(NDIVANTOR_PATH), stripped}),
              0);
    EXPECT_FALSE(ReadFileVersion(qPrintable(stripped)).valid);
    EXPECT_FALSE(ReadFileVersion(qPrintable(dir.filePath(QStringLiteral("missing")))).valid);
    EXPECT_FALSE(ReadFileVersion("/etc/hostname").valid);
    EXPECT_FALSE(ReadFileVersion().valid) << "the test program carries no note";
}

}  // namespace
}  // namespace vantor
