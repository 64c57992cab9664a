// Numbered runs of image files: spin0007.png is number 7 of the run spin%04d.png.

#include "imagery/frame_list.h"
#include "imagery/regular_file.h"

#include <QFile>

namespace vantor {
namespace {

constexpr int kMaxNumberDigits = 5;

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

}  // namespace

bool AnalyseSequenceName(const QString& path, SequenceName& name)
{
    const qsizetype name_start = path.lastIndexOf(u'/') + 1;
    const qsizetype dot = path.lastIndexOf(u'.');
    const qsizetype name_end = dot >= name_start ? dot : path.size();
    const QString folder = path.left(name_start);
    const QString file_name = path.mid(name_start, name_end - name_start);

    name.extension = path.mid(name_end);
    name.stem_path = folder + file_name;
    name.stem_name = file_name;
    name.has_number = name.first_number = name.digits = 0;
    for (int k = 1; k <= kMaxNumberDigits && k <= file_name.size(); ++k) {
        if (!IsAsciiDigit(file_name.at(file_name.size() - k)))
            break;
        name.digits = k;
        name.first_number = file_name.right(k).toInt();
        name.has_number = 1;
        name.stem_name = file_name.left(file_name.size() - k);
        name.stem_path = folder + name.stem_name;
    }
    return name.has_number != 0;
}

QString SequenceNumberText(const SequenceName& name, int32_t number)
{
    return QString::asprintf("%0*d", name.digits, number);
}

QString SequenceFramePath(const SequenceName& name, int32_t number)
{
    return name.stem_path + SequenceNumberText(name, number) + name.extension;
}

int32_t ProbeSequence(const SequenceName& name, int32_t found)
{
    while (OpenRegularFile(SequenceFramePath(name, name.first_number + found)))
        ++found;
    return found;
}

}  // namespace vantor
