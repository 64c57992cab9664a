#include "test_images.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <utility>

namespace vantor::test {
namespace {

uint32_t Crc32(const QByteArray& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= static_cast<uint8_t>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void AppendBigEndian(QByteArray& out, uint32_t v)
{
    uchar b[4];
    qToBigEndian(v, b);
    out.append(reinterpret_cast<const char*>(b), 4);
}

void AppendLittleEndian(QByteArray& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void AppendPngChunk(QByteArray& out, const char* type, const QByteArray& data)
{
    AppendBigEndian(out, static_cast<uint32_t>(data.size()));
    const QByteArray body = QByteArray(type, 4) + data;
    out.append(body);
    AppendBigEndian(out, Crc32(body));
}

}  // namespace

QImage GradientPicture(int w, int h, bool with_alpha)
{
    QImage image(w, h, with_alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int alpha = with_alpha ? (x * 37 + y * 11) % 256 : 255;
            image.setPixel(x, y, qRgba((x + y) % 256, y % 256, x % 256, alpha));
        }
    return image;
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QString SaveSolidPicture(const QString& path, int w, int h, QRgb colour)
{
    QImage picture(w, h, QImage::Format_ARGB32);
    picture.fill(colour);
    if (!picture.save(path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray GifWithTransparentColour()
{
    QByteArray gif("GIF89a", 6);
    AppendLittleEndian(gif, 4, 2);               // width
    AppendLittleEndian(gif, 2, 2);               // height
    gif.append(char(0xF1)).append(char(0)).append(char(0));  // 4-entry global palette
    gif.append(QByteArray::fromHex("ff0000" "00ff00" "0000ff" "000000"));
    gif.append(QByteArray::fromHex("21f90401000001" "00"));  // transparent colour index 1
    gif.append(char(0x2C));
    AppendLittleEndian(gif, 0, 2);
    AppendLittleEndian(gif, 0, 2);
    AppendLittleEndian(gif, 4, 2);
    AppendLittleEndian(gif, 2, 2);
    gif.append(char(0));
    // LZW, minimum code size 2: clear, the pixels 0 1 2 0 / 1 1 2 2 as literal codes, end.
    // The decoder adds a table entry for every literal but the first, and reads 4-bit codes
    // once its next free code reaches 8.
    const int codes[] = {4, 0, 1, 2, 0, 1, 1, 2, 2, 5};
    QByteArray data;
    uint32_t acc = 0;
    int bits = 0;
    int next_code = 6;
    bool first_literal = true;
    for (int code : codes) {
        acc |= static_cast<uint32_t>(code) << bits;
        bits += next_code < 8 ? 3 : 4;
        while (bits >= 8) {
            data.append(static_cast<char>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
        if (code < 4 && !std::exchange(first_literal, false))
            ++next_code;
    }
    if (bits > 0)
        data.append(static_cast<char>(acc & 0xFF));
    gif.append(char(2)).append(char(data.size())).append(data).append(char(0));
    gif.append(char(0x3B));
    return gif;
}

QByteArray GifOfTinyFrames(uint16_t w, uint16_t h, int frames)
{
    QByteArray gif("GIF89a");
    AppendLittleEndian(gif, w, 2);
    AppendLittleEndian(gif, h, 2);
    gif.append("\x80\x00\x00", 3);                  // a global table of two colours
    gif.append("\x00\x00\x00\xff\xff\xff", 6);
    for (int i = 0; i < frames; ++i) {
        gif.append("\x21\xf9\x04\x00\x0a\x00\x00\x00", 8);          // 10 cs
        gif.append("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);  // 1 x 1 at 0, 0
        gif.append("\x02\x02\x44\x01\x00", 5);                          // its one pixel
    }
    gif.append('\x3b');
    return gif;
}

QByteArray PngDeclaring(uint32_t w, uint32_t h)
{
    QByteArray png = QByteArray::fromHex("89504e470d0a1a0a");
    QByteArray header;
    AppendBigEndian(header, w);
    AppendBigEndian(header, h);
    header.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0));
    AppendPngChunk(png, "IHDR", header);
    AppendPngChunk(png, "IDAT", QByteArray::fromHex("789c63000000000100"));
    AppendPngChunk(png, "IEND", {});
    return png;
}

QByteArray BmpDeclaring(int32_t w, int32_t h)
{
    QByteArray bmp("BM", 2);
    AppendLittleEndian(bmp, 54 + 16, 4);  // file size: header and a few bytes
    AppendLittleEndian(bmp, 0, 4);
    AppendLittleEndian(bmp, 54, 4);
    AppendLittleEndian(bmp, 40, 4);
    AppendLittleEndian(bmp, static_cast<uint32_t>(w), 4);
    AppendLittleEndian(bmp, static_cast<uint32_t>(h), 4);
    AppendLittleEndian(bmp, 1, 2);
    AppendLittleEndian(bmp, 24, 2);
    AppendLittleEndian(bmp, 0, 4);
    AppendLittleEndian(bmp, 0, 4);
    AppendLittleEndian(bmp, 2835, 4);
    AppendLittleEndian(bmp, 2835, 4);
    AppendLittleEndian(bmp, 0, 4);
    AppendLittleEndian(bmp, 0, 4);
    bmp.append(QByteArray(16, '\x7f'));
    return bmp;
}

bool Convert(const QStringList& arguments)
{
    QProcess convert;
    convert.start(QStringLiteral("convert"), arguments);
    return convert.waitForFinished(60000) && convert.exitStatus() == QProcess::NormalExit && convert.exitCode() == 0;
}

QByteArray WithExifOrientation(const QByteArray& jpeg, uint16_t orientation)
{
    // A little-endian TIFF header and one directory of one entry: tag 0x0112, type SHORT.
    QByteArray exif("Exif\0\0II*\0", 10);
    AppendLittleEndian(exif, 8, 4);
    AppendLittleEndian(exif, 1, 2);
    AppendLittleEndian(exif, 0x0112, 2);
    AppendLittleEndian(exif, 3, 2);
    AppendLittleEndian(exif, 1, 4);
    AppendLittleEndian(exif, orientation, 4);
    AppendLittleEndian(exif, 0, 4);  // no further directory
    QByteArray segment = QByteArray::fromHex("ffe1");
    segment.append(char((exif.size() + 2) >> 8)).append(char((exif.size() + 2) & 0xFF)).append(exif);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

std::vector<QRgb> AnimationColours(int alpha)
{
    std::vector<QRgb> colours;
    for (const int red : {0, 120, 250})
        for (const int green : {0, 250})
            for (const int blue : {0, 250})
                if (colours.size() < 12)
                    colours.push_back(qRgba(red, green, blue, alpha));
    return colours;
}

bool EncodeAnimation(const QString& path, const std::vector<QRgb>& colours, int w, int h, int rate,
                     const QStringList& encoder_options)
{
    const QString pattern = path + QStringLiteral(".%02d.png");
    for (size_t i = 0; i < colours.size(); ++i)
        SaveSolidPicture(QString::asprintf(qUtf8Printable(pattern), int(i)), w, h, colours[i]);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-v"), QStringLiteral("error"),
                                                       QStringLiteral("-y"), QStringLiteral("-framerate"),
                                                       QString::number(rate), QStringLiteral("-i"), pattern} +
                                               encoder_options + QStringList{path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

}  // namespace vantor::test
