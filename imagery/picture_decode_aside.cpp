#include "imagery/picture_decode_aside.h"

#include <QEventLoop>
#include <QFileInfo>

#include <memory>

namespace vantor {
namespace {

AsideWaits aside_waits;  // the user-interface thread's

}  // namespace

PictureDecodeAside::PictureDecodeAside(MemoryGauge memory, QObject* parent)
    : QObject(parent), memory_(std::move(memory)), thread_(*this)
{
}

void PictureDecodeAside::Decode(const QString& path, Done done, FileOpener open)
{
    done_ = std::move(done);
    const uint64_t ticket = ++ticket_;
    thread_.Run([this, ticket, path, memory = memory_, open = std::move(open)]() -> DecodeThread::Then {
        auto picture = std::make_shared<RgbaImage>();
        picture->file_path = path;
        picture->file_title = QFileInfo(path).fileName();
        const bool loaded = picture->LoadFromFile(path, memory, open);
        return [this, ticket, picture, loaded] { Deliver(ticket, *picture, loaded); };
    });
}

void PictureDecodeAside::Cancel()
{
    ++ticket_;
    done_ = nullptr;
}

void PictureDecodeAside::Deliver(uint64_t ticket, RgbaImage& picture, bool loaded)
{
    if (ticket != ticket_ || !done_)
        return;
    std::exchange(done_, nullptr)(picture, loaded);
}

bool LoadFromFileAside(RgbaImage& image, const QString& path, const MemoryGauge& memory)
{
    PictureDecodeAside decoder(memory);
    QEventLoop waiting;
    bool loaded = false;
    decoder.Decode(path, [&](RgbaImage& picture, bool ok) {
        loaded = ok;
        if (ok) {
            picture.file_path = image.file_path;
            picture.file_title = image.file_title;
            image = std::move(picture);
        }
        waiting.quit();
    });
    ++aside_waits.begun;
    ++aside_waits.open;
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    --aside_waits.open;
    return loaded;
}

AsideWaits AsideWaitsNow() { return aside_waits; }

}  // namespace vantor
