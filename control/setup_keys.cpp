#include "control/setup_keys.h"

#include "control/setup_words.h"

#include "imagery/regular_file.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace vantor {
namespace {

// Reads one item of the setup with its word reader.
template <auto Field, auto Reader>
bool ReadItem(QStringView value, const QDir&, LaunchSettings& into)
{
    const auto read = Reader(value);
    if (read)
        into.setup.*Field = *read;
    return read.has_value();
}

// Writes one item of the setup with its word writer; nothing when the setup does not name it.
template <auto Field, auto Writer>
QString WriteItem(const Setup& setup)
{
    return setup.*Field ? Writer(*(setup.*Field)) : QString();
}

bool ReadOverlay(QStringView value, const QDir& base, LaunchSettings& into)
{
    if (value.isEmpty())
        return false;
    into.setup.overlay = QDir::cleanPath(base.absoluteFilePath(value.toString()));
    return true;
}

// Quoted where reading would otherwise lose something at its ends; a path with a line break
// cannot stand on a line and is left out.
QString WriteOverlay(const Setup& setup)
{
    if (!setup.overlay || setup.overlay->contains(u'\n'))
        return {};
    const QString& path = *setup.overlay;
    const bool loses = path != path.trimmed() || path.startsWith(u'"');
    return loses ? QLatin1Char('"') + path + QLatin1Char('"') : path;
}

// master=false or slave=false: the copy is not that, so it follows and leads nobody;
// no-sync=false: the usual slave.
template <SyncRole Role>
bool ReadRole(QStringView value, const QDir&, LaunchSettings& into)
{
    const auto flag = words::ReadFlag(value);
    if (!flag)
        return false;
    const SyncRole otherwise = Role == SyncRole::kNone ? SyncRole::kSlave : SyncRole::kNone;
    into.setup.role = *flag ? Role : otherwise;
    return true;
}

// The one key of the role in force.
template <SyncRole Role>
QString WriteRole(const Setup& setup)
{
    return setup.role == Role ? words::FlagWord(true) : QString();
}

QString AnyPath() { return QStringLiteral("the path of a picture file"); }

// A token is a secret an operator types once into the page: long enough not to be guessed,
// no blanks that a panel's header field could lose.
constexpr qsizetype kMinTokenLength = 8;

bool IsToken(QStringView token)
{
    return token.size() >= kMinTokenLength && std::none_of(token.begin(), token.end(), [](QChar c) {
               return c.isSpace() || !c.isPrint();
           });
}

bool ReadEndpoint(QStringView value, const QDir&, LaunchSettings& into)
{
    const auto endpoint = words::ReadEndpoint(value);
    if (endpoint)
        into.control.endpoint = *endpoint;
    return endpoint.has_value();
}

bool ReadToken(QStringView value, const QDir&, LaunchSettings& into)
{
    if (!IsToken(value))
        return false;
    into.control.token = value.toString();
    return true;
}

// The first line of a small regular file.
bool ReadTokenFile(QStringView value, const QDir& base, LaunchSettings& into)
{
    const std::unique_ptr<QFile> file = OpenRegularFile(base.absoluteFilePath(value.toString()));
    if (!file)
        return false;
    const QString token = QString::fromUtf8(file->readLine(4096)).trimmed();
    return ReadToken(token, base, into);
}

bool ReadFilesDir(QStringView value, const QDir& base, LaunchSettings& into)
{
    const QFileInfo folder(base.absoluteFilePath(value.toString()));
    if (!folder.isDir())
        return false;
    into.control.files_dir = folder.canonicalFilePath();
    return true;
}

QString TokenAccepted() { return QStringLiteral("at least 8 characters without blanks"); }
QString TokenFileAccepted()
{
    return QStringLiteral("a readable file whose first line is the token (at least 8 characters without blanks)");
}
QString FolderAccepted() { return QStringLiteral("an existing folder"); }

constexpr SetupKey kKeys[] = {
    {"overlay", "FILE", "The logo: a picture, or the first file of a numbered run, which is loaded whole.",
     ReadOverlay, AnyPath, false, WriteOverlay},
    {"corner", "CORNER", "The logo's corner: upper-left, upper-right, lower-left or lower-right.",
     ReadItem<&Setup::corner, words::ReadCorner>, words::CornersAccepted, false,
     WriteItem<&Setup::corner, words::CornerWord>},
    {"offset", "X,Y", "The logo's distance in pixels from its corner's side and top or bottom edges.",
     ReadItem<&Setup::offset, words::ReadOffset>, words::OffsetAccepted, false,
     WriteItem<&Setup::offset, words::OffsetWord>},
    {"on", nullptr, "Switches the logo on (the house watermark goes).",
     ReadItem<&Setup::on, words::ReadFlag>, words::FlagAccepted, false,
     WriteItem<&Setup::on, words::FlagWord>},
    {"solid", nullptr, "Makes the logo's first picture opaque.",
     ReadItem<&Setup::solid, words::ReadFlag>, words::FlagAccepted, false,
     WriteItem<&Setup::solid, words::FlagWord>},
    {"size", "WxH", "The output size, such as 1920x1080.",
     ReadItem<&Setup::size, words::ReadSize>, words::SizesAccepted, false,
     WriteItem<&Setup::size, words::SizeWord>},
    {"rate", "RATE", "The frame rate: 25, 29.97, 30, 50 or 60.",
     ReadItem<&Setup::rate, words::ReadRate>, words::RatesAccepted, false,
     WriteItem<&Setup::rate, words::RateWord>},
    {"mode", "MODE", "How a run plays: forward, reverse, oscillate1 or oscillate2.",
     ReadItem<&Setup::mode, words::ReadMode>, words::ModesAccepted, false,
     WriteItem<&Setup::mode, words::ModeWord>},
    {"pause", "PAUSE", "The pause between passes, in seconds or frames: 5s, 12f.",
     ReadItem<&Setup::pause, words::ReadPause>, words::PauseAccepted, false,
     WriteItem<&Setup::pause, words::PauseWord>},
    {"one-shot", nullptr, "Plays one pass of a run each time Go is pressed.",
     ReadItem<&Setup::one_shot, words::ReadFlag>, words::FlagAccepted, false,
     WriteItem<&Setup::one_shot, words::FlagWord>},
    {"run-rate", "FPS", "Plays a numbered run at this many pictures a second, not one per output frame.",
     ReadItem<&Setup::run_rate, words::ReadRunRate>, words::RunRatesAccepted, false,
     WriteItem<&Setup::run_rate, words::RunRateWord>},
    {"fade", "SECONDS", "On, Off and a new logo fade over this time, up to 10 seconds (0: a cut).",
     ReadItem<&Setup::fade_ms, words::ReadFade>, words::FadeAccepted, false,
     WriteItem<&Setup::fade_ms, words::FadeWord>},
    {"opacity", "PERCENT", "The logo's opacity, 0 to 100.",
     ReadItem<&Setup::opacity, words::ReadOpacity>, words::OpacityAccepted, false,
     WriteItem<&Setup::opacity, words::OpacityWord>},
    {"safe-area", "AREA", "Where the offsets count from: edge, action (3.5 % in) or graphics (5 % in).",
     ReadItem<&Setup::safe_area, words::ReadSafeArea>, words::SafeAreasAccepted, false,
     WriteItem<&Setup::safe_area, words::SafeAreaWord>},
    {"cycle", "SHOW/EVERY[/DELAY]", "Shows the logo on a cycle, such as 10s/10m (off: always).",
     ReadItem<&Setup::cycle, words::ReadCycle>, words::CycleAccepted, false,
     WriteItem<&Setup::cycle, words::CycleWord>},
    {"scale", "PERCENT|fit", "The logo's size: a percentage of its file's pixels, or fit (scaled by the output's height / 1080).",
     ReadItem<&Setup::scale, words::ReadScale>, words::ScaleAccepted, false,
     WriteItem<&Setup::scale, words::ScaleWord>},
    {"master", nullptr, "This copy starts and stops the slave copies with it.",
     ReadRole<SyncRole::kMaster>, words::FlagAccepted, true, WriteRole<SyncRole::kMaster>},
    {"slave", nullptr, "This copy starts and stops with the master copy (the usual role).",
     ReadRole<SyncRole::kSlave>, words::FlagAccepted, true, WriteRole<SyncRole::kSlave>},
    {"no-sync", nullptr, "This copy neither leads nor follows other copies.",
     ReadRole<SyncRole::kNone>, words::FlagAccepted, true, WriteRole<SyncRole::kNone>},
    {"control", "[ADDRESS:]PORT", "Answers the HTTP control API and its web page there (127.0.0.1 unless given).",
     ReadEndpoint, words::EndpointAccepted, false, nullptr},
    {"control-token", "TOKEN", "The token every API request must carry (needed beyond 127.0.0.1).",
     ReadToken, TokenAccepted, false, nullptr},
    {"control-token-file", "FILE", "Reads the API token from the first line of a file.",
     ReadTokenFile, TokenFileAccepted, false, nullptr},
    {"control-files", "DIR", "The only folder the API loads pictures from (needed beyond 127.0.0.1).",
     ReadFilesDir, FolderAccepted, false, nullptr},
};

}  // namespace

QString ValueProblem(const SetupKey& key, const QString& written_as, QStringView value)
{
    return QStringLiteral("%1 takes %2, not \"%3\"").arg(written_as, key.accepted(), value.toString());
}

QString KeyNames()
{
    QStringList names;
    for (const SetupKey& key : kKeys)
        names << QString::fromLatin1(key.name);
    return names.join(QStringLiteral(", "));
}

std::span<const SetupKey> SetupKeys() { return kKeys; }

const SetupKey* FindSetupKey(QStringView name)
{
    for (const SetupKey& key : kKeys)
        if (name == QLatin1StringView(key.name))
            return &key;
    return nullptr;
}

}  // namespace vantor
