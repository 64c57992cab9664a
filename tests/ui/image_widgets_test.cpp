#include "ui/image_widgets.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace vantor {
namespace {

RgbaImage Decoded(const QTemporaryDir& dir, int w, int h, QRgb colour)
{
    QImage picture(w, h, QImage::Format_ARGB32);
    picture.fill(colour);
    const QString path = dir.filePath(QStringLiteral("thumb.png"));
    EXPECT_TRUE(picture.save(path));
    RgbaImage image;
    EXPECT_TRUE(image.LoadFromFile(path));
    return image;
}

QRgb PixelOf(const QLabel& label, int x, int y)
{
    return label.pixmap().toImage().pixel(x, y) & 0xFFFFFF;
}

TEST(DrawThumbnail, WidePictureFillsTheWidthBetweenBlackBands)
{
    QTemporaryDir dir;
    // Alpha plays no part: a half-transparent picture is drawn in its full colour.
    const RgbaImage image = Decoded(dir, 1920, 1080, qRgba(255, 0, 0, 60));
    QLabel control;
    control.resize(200, 120);
    ASSERT_TRUE(DrawThumbnail(&control, image));
    EXPECT_EQ(PixelOf(control, 100, 2), 0u);
    EXPECT_EQ(PixelOf(control, 100, 60), 0xFF0000u);
    EXPECT_EQ(PixelOf(control, 0, 60), 0xFF0000u);
    EXPECT_EQ(PixelOf(control, 100, 117), 0u);
}

TEST(DrawThumbnail, NarrowPictureFillsTheHeightCentred)
{
    QTemporaryDir dir;
    const RgbaImage image = Decoded(dir, 640, 480, qRgb(0, 0, 255));
    QLabel control;
    control.resize(200, 120);
    ASSERT_TRUE(DrawThumbnail(&control, image));
    EXPECT_EQ(PixelOf(control, 18, 60), 0u);
    EXPECT_EQ(PixelOf(control, 22, 0), 0x0000FFu);
    EXPECT_EQ(PixelOf(control, 177, 119), 0x0000FFu);
    EXPECT_EQ(PixelOf(control, 181, 60), 0u);
}

TEST(DrawThumbnail, NothingToDrawWithoutControlOrDecodedPicture)
{
    RgbaImage filled;
    ASSERT_TRUE(filled.FillSolid(4, 4, 1, 2, 3));
    QLabel control;
    EXPECT_FALSE(DrawThumbnail(&control, filled));
    EXPECT_FALSE(DrawThumbnail(nullptr, filled));
}

// Answers the next file dialog that opens: checks its title and filters, then picks a file
// or cancels.
void AnswerFileDialog(const QString& pick, QStringList* seen_filters, QString* seen_title)
{
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return AnswerFileDialog(pick, seen_filters, seen_title);  // not open yet
        *seen_filters = dialog->nameFilters();
        *seen_title = dialog->windowTitle();
        if (pick.isEmpty())
            return dialog->reject();
        dialog->selectFile(pick);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

TEST(LoadWithFileDialog, ConfirmedFileIsNamedAndLoaded)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("station.png"));
    ASSERT_TRUE(QImage(8, 4, QImage::Format_ARGB32).save(path));
    QStringList filters;
    QString title;
    AnswerFileDialog(path, &filters, &title);
    RgbaImage image;
    ASSERT_TRUE(LoadWithFileDialog(image, nullptr));
    EXPECT_EQ(title, QStringLiteral("Load Overlay Image"));
    EXPECT_EQ(filters, (QStringList{QStringLiteral("Image Files (*.bmp;*.gif;*.jpg;*.png;*.tif;*.webp;*.mov;*.mp4;*.m4v;*.mkv;*.webm)"),
                                    QStringLiteral("All Files (*.*)")}));
    EXPECT_EQ(image.file_path, path);
    EXPECT_EQ(image.file_title, QStringLiteral("station.png"));
    EXPECT_EQ(image.width, 8);
    EXPECT_TRUE(image.IsCompositable());
}

TEST(LoadWithFileDialog, CancelLeavesThePictureUnchanged)
{
    RgbaImage image;
    ASSERT_TRUE(image.FillSolid(3, 3, 1, 1, 1));
    image.file_path = QStringLiteral("/before.png");
    QStringList filters;
    QString title;
    AnswerFileDialog({}, &filters, &title);
    EXPECT_FALSE(LoadWithFileDialog(image, nullptr));
    EXPECT_EQ(image.file_path, QStringLiteral("/before.png"));
    EXPECT_EQ(image.width, 3);
}

}  // namespace
}  // namespace vantor
