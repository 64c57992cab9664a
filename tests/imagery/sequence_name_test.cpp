#include "imagery/frame_list.h"
#include "test_images.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantor {
namespace {

SequenceName Analysed(const QString& path, bool expect_number)
{
    SequenceName name;
    EXPECT_EQ(AnalyseSequenceName(path, name), expect_number) << qPrintable(path);
    return name;
}

TEST(SequenceNameAnalysis, FourTrailingDigitsAreTheNumberAndTheRestIsTheStem)
{
    const SequenceName name = Analysed(QStringLiteral("/srv/logos/spin0007.png"), true);
    EXPECT_EQ(name.stem_path, QStringLiteral("/srv/logos/spin"));
    EXPECT_EQ(name.stem_name, QStringLiteral("spin"));
    EXPECT_EQ(name.extension, QStringLiteral(".png"));
    EXPECT_EQ(name.has_number, 1);
    EXPECT_EQ(name.first_number, 7);
    EXPECT_EQ(name.digits, 4);
    EXPECT_EQ(SequenceFramePath(name, 8), QStringLiteral("/srv/logos/spin0008.png"));
    EXPECT_EQ(SequenceFramePath(name, 9), QStringLiteral("/srv/logos/spin0009.png"));
}

TEST(SequenceNameAnalysis, AtMostFiveDigitsMakeTheNumberAndFurtherDigitsStayInTheStem)
{
    const SequenceName name = Analysed(QStringLiteral("/x/clip123456.png"), true);
    EXPECT_EQ(name.digits, 5);
    EXPECT_EQ(name.first_number, 23456);
    EXPECT_EQ(name.stem_name, QStringLiteral("clip1"));
    EXPECT_EQ(name.stem_path, QStringLiteral("/x/clip1"));
}

TEST(SequenceNameAnalysis, ANameOfDigitsOnlyHasAnEmptyStem)
{
    const SequenceName name = Analysed(QStringLiteral("/x/0042.tif"), true);
    EXPECT_EQ(name.stem_name, QString());
    EXPECT_EQ(name.stem_path, QStringLiteral("/x/"));
    EXPECT_EQ(name.first_number, 42);
    EXPECT_EQ(name.digits, 4);
    EXPECT_EQ(name.extension, QStringLiteral(".tif"));
}

TEST(SequenceNameAnalysis, ANameWithoutTrailingDigitsHasNoNumber)
{
    const SequenceName name = Analysed(QStringLiteral("/x/logo2b.png"), false);
    EXPECT_EQ(name.has_number, 0);
    EXPECT_EQ(name.first_number, 0);
    EXPECT_EQ(name.digits, 0);
    EXPECT_EQ(name.stem_name, QStringLiteral("logo2b"));
    EXPECT_EQ(name.stem_path, QStringLiteral("/x/logo2b"));
    EXPECT_EQ(Analysed(QStringLiteral("/x/logo\u0663.png"), false).digits, 0) << "only ASCII digits number a file";
}

TEST(SequenceNameAnalysis, ANewAnalysisForgetsTheNumberOfThePreviousOne)
{
    SequenceName name = Analysed(QStringLiteral("/x/spin0007.png"), true);
    EXPECT_FALSE(AnalyseSequenceName(QStringLiteral("/x/logo.png"), name));
    EXPECT_EQ(name.has_number, 0);
    EXPECT_EQ(name.first_number, 0);
    EXPECT_EQ(name.digits, 0);
    EXPECT_EQ(name.stem_name, QStringLiteral("logo"));
}

TEST(SequenceNameAnalysis, OnlyTheLastDotOfTheFileNameStartsTheExtension)
{
    const SequenceName dotted = Analysed(QStringLiteral("/a.b/take.2.0003.png"), true);
    EXPECT_EQ(dotted.stem_path, QStringLiteral("/a.b/take.2."));
    EXPECT_EQ(dotted.extension, QStringLiteral(".png"));
    const SequenceName bare = Analysed(QStringLiteral("/a.b/frame12"), true);
    EXPECT_EQ(bare.extension, QString());
    EXPECT_EQ(bare.stem_path, QStringLiteral("/a.b/frame"));
    EXPECT_EQ(SequenceFramePath(bare, 13), QStringLiteral("/a.b/frame13"));
}

TEST(SequenceNumberText, NumbersArePaddedToTheDigitCountAndWiderNumbersKeepAllDigits)
{
    const SequenceName nine = Analysed(QStringLiteral("/x/frame9.png"), true);
    EXPECT_EQ(SequenceFramePath(nine, 10), QStringLiteral("/x/frame10.png"));
    EXPECT_EQ(SequenceFramePath(nine, 11), QStringLiteral("/x/frame11.png"));
    const SequenceName padded = Analysed(QStringLiteral("/x/s098.png"), true);
    EXPECT_EQ(SequenceNumberText(padded, 99), QStringLiteral("099"));
    EXPECT_EQ(SequenceNumberText(padded, 1000), QStringLiteral("1000"));
}

TEST(SequenceProbe, CountsTheFilesThatFollowUntilTheFirstGap)
{
    QTemporaryDir dir;
    for (const char* file : {"r07.png", "r08.png", "r09.png", "r10.png", "r12.png"})
        test::WriteBytes(dir.filePath(QString::fromLatin1(file)), "any bytes: only opened");
    const SequenceName name = Analysed(dir.filePath(QStringLiteral("r07.png")), true);
    EXPECT_EQ(ProbeSequence(name, 1), 4);
    const SequenceName after_gap = Analysed(dir.filePath(QStringLiteral("r12.png")), true);
    EXPECT_EQ(ProbeSequence(after_gap, 1), 1);
}

}  // namespace
}  // namespace vantor
