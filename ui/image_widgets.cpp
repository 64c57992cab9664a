#include "ui/image_widgets.h"

#include "imagery/image_decoder.h"
#include "imagery/picture_decode_aside.h"
#include "imagery/thumbnail.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>

namespace vantor {
namespace {

// The filter captions keep the ';'-separated patterns operators know, which Qt itself would
// read as one pattern; the dialog's model gets them split, and "*.*" as "everything".
QStringList PatternsOf(const QString& filter)
{
    const auto match = QRegularExpression(QStringLiteral("\\(([^)]*)\\)")).match(filter);
    QStringList patterns = match.captured(1).split(u';', Qt::SkipEmptyParts);
    for (QString& p : patterns)
        if (p == QLatin1String("*.*"))
            p = QStringLiteral("*");
    return patterns;
}

void ApplyPatterns(QFileDialog& dialog, const QString& filter)
{
    if (auto* model = dialog.findChild<QFileSystemModel*>())
        model->setNameFilters(PatternsOf(filter));
}

QImage OpaqueCopy(const QImage& decoded)
{
    QImage copy = decoded.convertToFormat(QImage::Format_ARGB32);
    FillAlpha(copy, 255);
    return copy;
}

}  // namespace

bool LoadWithFileDialog(RgbaImage& image, QWidget* parent)
{
    QFileDialog dialog(parent, QString::fromLatin1(kLoadImageTitle));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QString::fromLatin1(kImageFilesFilter), QString::fromLatin1(kAllFilesFilter)});
    ApplyPatterns(dialog, QString::fromLatin1(kImageFilesFilter));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) { ApplyPatterns(dialog, filter); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    image.file_path = dialog.selectedFiles().constFirst();
    image.file_title = QFileInfo(image.file_path).fileName();
    return LoadFromFileAside(image, image.file_path);
}

bool DrawThumbnail(QLabel* control, const RgbaImage& image)
{
    if (!control || image.decoded_bitmap.isNull())
        return false;
    const QSize size = control->size();
    const auto rect = PlaceThumbnail(image.decoded_bitmap.width(), image.decoded_bitmap.height(),
                                     size.width(), size.height());
    if (!rect)
        return false;
    QPixmap picture(size);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(rect->left, rect->top, rect->width, rect->height),
                      OpaqueCopy(image.decoded_bitmap));
    painter.end();
    control->setPixmap(picture);
    control->update();
    return true;
}

}  // namespace vantor
