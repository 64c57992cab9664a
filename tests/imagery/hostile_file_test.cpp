// Files made to reach beyond themselves (a playlist, a list of files, a manifest, a movie whose
// pictures are kept elsewhere, each named .mov) or to take all memory (GIFs whose screen is far
// larger than their frames, a movie of more frames than a load may hold): each is refused with
// its sentence before anything else is opened or connected to, and the logo on air stays. The
// measure other parts of the program ask for gives the same answer.

#include "imagery/image_decoder.h"
#include "imagery/load_measure.h"
#include "imagery/sequence_loader.h"
#include "imagery/sequence_texts.h"
#include "recording_loader_host.h"
#include "test_images.h"

#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QtEndian>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

namespace vantor {
namespace {

// A TCP port on the loopback that a file may name; it never accepts, so a connection waits in
// its queue.
class Listener {
public:
    Listener() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        const bool bound = bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd_, 8) == 0 &&
                           getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        port_ = bound ? ntohs(address.sin_port) : 0;
    }
    ~Listener() { close(fd_); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    QString Url() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }
    bool Listening() const { return port_ != 0; }
    bool WasConnectedTo() const
    {
        pollfd waiting{fd_, POLLIN, 0};
        return poll(&waiting, 1, 0) > 0;
    }

private:
    int fd_;
    uint16_t port_ = 0;
};

// A folder outside the one loaded from, holding a movie that would play; the kernel reports
// every open of a file in it.
class OutsideFolder {
public:
    OutsideFolder()
    {
        const std::vector<QRgb> colours = test::AnimationColours(255);
        made_ = test::EncodeAnimation(File(), colours, 32, 16, 10, {"-c:v", "qtrle", "-pix_fmt", "argb"});
        watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        made_ = made_ && inotify_add_watch(watch_, qPrintable(dir_.path()), IN_OPEN) >= 0;
    }
    ~OutsideFolder() { close(watch_); }
    OutsideFolder(const OutsideFolder&) = delete;
    OutsideFolder& operator=(const OutsideFolder&) = delete;

    QString File() const { return dir_.filePath(QStringLiteral("secret.mov")); }
    bool Made() const { return made_; }
    bool WasOpened() const
    {
        alignas(inotify_event) char events[4096];
        return read(watch_, events, sizeof events) > 0;
    }

private:
    QTemporaryDir dir_;
    int watch_ = -1;
    bool made_ = false;
};

// Where a hostile file reaches: a file outside its folder and an address.
struct Reach {
    QString file;
    QString url;
};

struct HostileFile {
    const char* name;
    const char* file;
    std::function<void(const QString& path, const Reach& reach)> make;
    const char* answer;
};

void WriteText(const QString& path, const QString& text)
{
    test::WriteBytes(path, text.toUtf8());
}

QString DashManifest(const Reach& reach, const QString& comment)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
%1
<MPD xmlns="urn:mpeg:dash:schema:mpd:2011" profiles="urn:mpeg:dash:profile:isoff-on-demand:2011"
     type="static" mediaPresentationDuration="PT2S" minBufferTime="PT1S">
  <Period>
    <AdaptationSet mimeType="video/quicktime">
      <Representation id="far" bandwidth="1000" width="32" height="16">
        <BaseURL>%2/</BaseURL>
        <SegmentTemplate initialization="init.mp4" media="%3" startNumber="1" duration="1" timescale="1"/>
      </Representation>
    </AdaptationSet>
  </Period>
</MPD>
)")
        .arg(comment, reach.url, reach.file);
}

// A movie by ffmpeg, whose data reference is changed to name a file elsewhere: its entry gains
// the file's address and loses the flag that says "this file", and every box around it grows.
void MovieReferringTo(const QString& path, const QString& elsewhere)
{
    ASSERT_TRUE(test::EncodeAnimation(path, test::AnimationColours(255), 32, 16, 10,
                                      {"-c:v", "qtrle", "-pix_fmt", "argb"}));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray movie = file.readAll();
    file.close();
    const QByteArray self_entry("\x00\x00\x00\x0c" "url " "\x00\x00\x00\x01", 12);
    const qsizetype entry_at = movie.indexOf(self_entry);
    ASSERT_GT(entry_at, 0) << "ffmpeg writes one data reference, to the file itself";
    const QByteArray location = "file://" + elsewhere.toUtf8() + '\0';
    QByteArray entry = self_entry.left(11) + '\0' + location;
    qToBigEndian<quint32>(quint32(entry.size()), entry.data());
    movie.replace(entry_at, self_entry.size(), entry);
    // The pictures lie before the header, so no offset into them moves.
    for (const char* around : {"dref", "dinf", "minf", "mdia", "trak", "moov"}) {
        const qsizetype type_at = movie.lastIndexOf(around, entry_at);
        ASSERT_GT(type_at, 4) << around;
        char* size = movie.data() + type_at - 4;
        qToBigEndian<quint32>(qFromBigEndian<quint32>(size) + quint32(location.size()), size);
    }
    test::WriteBytes(path, movie);
}

const int64_t kOneGigabyteFree = int64_t{1} << 30;  // as in a small control group

class HostileFiles : public ::testing::TestWithParam<HostileFile> {
protected:
    HostileFiles() { host_.memory = [] { return kOneGigabyteFree; }; }

    void Pick(const QString& path)
    {
        host_.pick_path = path;
        loader_.LoadOverlay();
        test::RunPendingSteps(loader_, host_);
    }

    // What the loader said about the file: a still's failure as the dialog describes it, an
    // animation's as it reports it.
    QString Answer(const QString& path) const
    {
        if (host_.log.contains(QStringLiteral("failed ") + QFileInfo(path).fileName()))
            return DescribeLoadFailure(path, host_.memory);
        const QString reported = QStringLiteral("message : ") + QString::fromLatin1(kLoadFailureMessage).arg(path, "");
        for (const QString& line : host_.log)
            if (line.startsWith(reported))
                return line.mid(reported.size());
        return host_.log.join(u'|');
    }

    QTemporaryDir dir_;
    OverlayState overlay_;
    std::atomic<bool> is_sequence_{false};
    std::atomic<const SequenceFrame*> send_current_{nullptr};
    std::atomic<const SequenceFrame*> preview_current_{nullptr};
    test::RecordingLoaderHost host_;
    SequenceLoader loader_{overlay_, {is_sequence_, send_current_, preview_current_}, host_, AllocateNode,
                           [] { return std::optional<int64_t>(kOneGigabyteFree); }};
};

TEST_P(HostileFiles, AreRefusedWithTheirSentenceReachingNothingAndTheLogoStays)
{
    const HostileFile& hostile = GetParam();
    const Listener listener;
    const OutsideFolder outside;
    ASSERT_TRUE(listener.Listening());
    ASSERT_TRUE(outside.Made());
    Pick(test::SaveSolidPicture(dir_.filePath(QStringLiteral("logo.png")), 8, 6, qRgb(200, 0, 0)));
    const uint8_t* logo_pixels = overlay_.frames.first.image.pixels.get();
    ASSERT_NE(logo_pixels, nullptr);

    const QString path = dir_.filePath(QString::fromLatin1(hostile.file));
    hostile.make(path, {outside.File(), listener.Url()});
    host_.log.clear();
    Pick(path);

    EXPECT_EQ(Answer(path), QString::fromLatin1(hostile.answer)) << host_.log.join(u'|').toStdString();
    QString why;
    const std::optional<LoadMeasure> measure = MeasureLoad(path, why);
    EXPECT_EQ(measure ? ShareRefusal(*measure, LoadShareBytes(host_.memory)) : why, QString::fromLatin1(hostile.answer))
        << "measured alike for other parts of the program";
    EXPECT_FALSE(listener.WasConnectedTo());
    EXPECT_FALSE(outside.WasOpened());
    EXPECT_EQ(overlay_.frames.first.image.pixels.get(), logo_pixels);
    EXPECT_EQ(overlay_.frames.first.image.file_title, QStringLiteral("logo.png"));
    EXPECT_EQ(overlay_.frames.first.next, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Imagery, HostileFiles,
    ::testing::Values(
        HostileFile{"HlsPlaylist", "playlist.mov",
                    [](const QString& path, const Reach& reach) {
                        WriteText(path, QStringLiteral("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\n%1/one.ts\n"
                                                       "#EXTINF:1.0,\nfile://%2\n#EXT-X-ENDLIST\n")
                                            .arg(reach.url, reach.file));
                    },
                    kFailureLinksOut},
        HostileFile{"ConcatScript", "list.mov",
                    [](const QString& path, const Reach& reach) {
                        WriteText(path, QStringLiteral("ffconcat version 1.0\nfile '%1'\nfile '%2/two.mov'\n")
                                            .arg(reach.file, reach.url));
                    },
                    kFailureLinksOut},
        HostileFile{"DashManifest", "manifest.mov",
                    [](const QString& path, const Reach& reach) { WriteText(path, DashManifest(reach, {})); },
                    kFailureLinksOut},
        HostileFile{"DashManifestThatIsAlsoAnXbmPicture", "picture.mov",
                    [](const QString& path, const Reach& reach) {
                        WriteText(path, DashManifest(reach, QStringLiteral(
                                                                "<!--\n#define logo_width 8\n#define logo_height 8\n"
                                                                "static char logo_bits[] = {\n0xff, 0x81, 0x81, 0x81, "
                                                                "0x81, 0x81, 0x81, 0xff };\n-->")));
                        ASSERT_EQ(QImageReader(path).read().size(), QSize(8, 8)) << "a picture too";
                    },
                    kFailureLinksOut},
        HostileFile{"MovieWithItsPicturesElsewhere", "reference.mov",
                    [](const QString& path, const Reach& reach) { MovieReferringTo(path, reach.file); },
                    kFailureLinksOut},
        HostileFile{"GifOf43BytesWhoseScreenIs16000Square", "tiny.gif",
                    [](const QString& path, const Reach&) {
                        const QByteArray gif = test::GifOfTinyFrames(16000, 16000, 1);
                        ASSERT_EQ(gif.size(), 43);
                        test::WriteBytes(path, gif);
                    },
                    "There is not enough memory for a picture of 16000 x 16000 pixels."},
        HostileFile{"GifOf5000TinyFramesOnA4kScreen", "many.gif",
                    [](const QString& path, const Reach&) {
                        test::WriteBytes(path, test::GifOfTinyFrames(3840, 2160, 5000));
                    },
                    "This animation needs 158299 MB; at most 384 MB can be used"},
        HostileFile{"MovieOfMoreFramesThanOneLoadMayHold", "long.mov",
                    [](const QString& path, const Reach&) {
                        ASSERT_EQ(QProcess::execute("ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                                                               "color=c=0x09090980:s=1280x720:r=25:d=4.8", "-c:v",
                                                               "qtrle", "-pix_fmt", "argb", path}),
                                  0);
                    },
                    "This animation needs 436 MB; at most 384 MB can be used"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantor
