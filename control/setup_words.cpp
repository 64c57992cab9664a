#include "control/setup_words.h"

#include "engine/output_format.h"
#include "engine/playback_state.h"
#include "imagery/overlay_state.h"
#include "imagery/picture_scale.h"
#include "imagery/rgba_image.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

namespace vantor::words {
namespace {

struct Choice {
    const char* word;
    int value;
};

constexpr Choice kCorners[] = {
    {"upper-left", kCornerUpperLeft},
    {"upper-right", kCornerUpperRight},
    {"lower-left", kCornerLowerLeft},
    {"lower-right", kCornerLowerRight},
};

constexpr Choice kModes[] = {
    {"forward", kPlayForward},
    {"reverse", kPlayReverse},
    {"oscillate1", kPlayOscillate1},
    {"oscillate2", kPlayOscillate2},
};

constexpr Choice kSafeAreas[] = {
    {"edge", kSafeAreaEdge},
    {"action", kSafeAreaAction},
    {"graphics", kSafeAreaGraphics},
};

constexpr Choice kPauseUnits[] = {{"seconds", kPauseInSeconds}, {"frames", kPauseInFrames}};
constexpr char kPauseUnitLetters[] = "sf";  // in the order of the units

std::optional<int> Find(std::span<const Choice> choices, QStringView word)
{
    for (const Choice& choice : choices)
        if (word == QLatin1StringView(choice.word))
            return choice.value;
    return std::nullopt;
}

QString WordOf(std::span<const Choice> choices, int value)
{
    for (const Choice& choice : choices)
        if (choice.value == value)
            return QString::fromLatin1(choice.word);
    return {};
}

// "a, b, c or d"
QString OneOf(const QStringList& words)
{
    if (words.size() < 2)
        return words.join(QString());
    return words.mid(0, words.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") + words.last();
}

QStringList WordsOf(std::span<const Choice> choices)
{
    QStringList words;
    for (const Choice& choice : choices)
        words << QString::fromLatin1(choice.word);
    return words;
}

// A whole number from min to max written in plain digits.
std::optional<int32_t> ReadNumber(QStringView text, int32_t min, int32_t max)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    const int32_t value = text.toInt();
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<int32_t> ReadCorner(QStringView word) { return Find(kCorners, word); }
QString CornerWord(int32_t corner_code) { return WordOf(kCorners, corner_code); }
QString CornersAccepted() { return OneOf(WordsOf(kCorners)); }

std::optional<int> ReadSize(QStringView word)
{
    for (const ResolutionRow& row : kResolutions)
        if (word == SizeWord(row.menu_id))
            return row.menu_id;
    return std::nullopt;
}

QString SizeWord(int menu_id)
{
    const ResolutionRow* row = FindResolution(menu_id);
    return row ? QString::fromLatin1(row->label).remove(u' ') : QString();
}

QString SizesAccepted()
{
    QStringList words;
    for (const ResolutionRow& row : kResolutions)
        words << SizeWord(row.menu_id);
    return OneOf(words);
}

std::optional<int> ReadRate(QStringView word)
{
    if (word.endsWith(u'p'))
        word.chop(1);
    for (const FrameRateRow& row : kFrameRates)
        if (word == RateWord(row.menu_id))
            return row.menu_id;
    return std::nullopt;
}

QString RateWord(int menu_id)
{
    QString caption = RateCaption(menu_id);
    caption.chop(1);  // the menu's "p"
    return caption;
}

QString RateCaption(int menu_id)
{
    const FrameRateRow* row = FindFrameRate(menu_id);
    return row ? QString::fromLatin1(row->label) : QString();
}

QString RatesAccepted()
{
    QStringList words;
    for (const FrameRateRow& row : kFrameRates)
        words << RateWord(row.menu_id);
    return OneOf(words);
}

std::optional<int32_t> ReadMode(QStringView word) { return Find(kModes, word); }
QString ModeWord(int32_t mode) { return WordOf(kModes, mode); }
QString ModesAccepted() { return OneOf(WordsOf(kModes)); }

std::optional<PauseSetting> ReadPause(QStringView word)
{
    if (word.isEmpty())
        return std::nullopt;
    const char* unit = std::strchr(kPauseUnitLetters, word.back().toLatin1());
    if (!unit || !*unit)
        return std::nullopt;
    const auto value = ReadNumber(word.chopped(1), 0, kMaxPauseValue);
    if (!value)
        return std::nullopt;
    return PauseSetting{*value, int32_t(unit - kPauseUnitLetters)};
}

QString PauseWord(const PauseSetting& pause)
{
    return QString::number(pause.value) + QLatin1Char(kPauseUnitLetters[pause.unit == kPauseInFrames]);
}

QString PauseAccepted()
{
    return QStringLiteral("a number from 0 to %1 followed by s (seconds) or f (frames), such as 5s or 12f")
        .arg(kMaxPauseValue);
}

std::optional<int32_t> ReadPauseUnit(QStringView word) { return Find(kPauseUnits, word); }
QString PauseUnitWord(int32_t unit) { return WordOf(kPauseUnits, unit); }

std::optional<OverlayOffset> ReadOffset(QStringView word)
{
    const qsizetype comma = word.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    const auto x = ReadNumber(word.left(comma).trimmed(), 0, kMaxXOffset);
    const auto y = ReadNumber(word.mid(comma + 1).trimmed(), 0, kMaxYOffset);
    if (!x || !y)
        return std::nullopt;
    return OverlayOffset{*x, *y};
}

QString OffsetWord(const OverlayOffset& offset) { return QStringLiteral("%1,%2").arg(offset.x).arg(offset.y); }

QString OffsetAccepted()
{
    return QStringLiteral("X,Y with X from 0 to %1 and Y from 0 to %2, such as 10,20").arg(kMaxXOffset).arg(kMaxYOffset);
}

std::optional<int> ReadRunRate(QStringView word)
{
    bool number = false;
    const int rate = word.toInt(&number);
    if (!number || rate < 0 || rate > kMaxRunRate)
        return std::nullopt;
    return rate;
}

QString RunRateWord(int rate) { return QString::number(rate); }

QString RunRatesAccepted()
{
    return QStringLiteral("pictures a second from 1 to %1, or 0 for one picture per output frame").arg(kMaxRunRate);
}

namespace {

// A decimal number of `unit_ms`, such as 2.5 (no sign, no exponent), in whole milliseconds.
std::optional<int64_t> ReadMilliseconds(QStringView text, int64_t unit_ms)
{
    if (text.isEmpty() || text.size() > 12 ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return (c >= u'0' && c <= u'9') || c == u'.'; }))
        return std::nullopt;
    bool number = false;
    const double value = text.toDouble(&number);
    if (!number)
        return std::nullopt;
    return std::llround(value * double(unit_ms));
}

constexpr struct {
    char letter;
    int64_t ms;
} kTimeUnits[] = {{'h', 3600000}, {'m', 60000}, {'s', 1000}};

// A time with its unit letter (seconds without one).
std::optional<int64_t> ReadTime(QStringView word)
{
    for (const auto& unit : kTimeUnits)
        if (word.endsWith(QLatin1Char(unit.letter)))
            return ReadMilliseconds(word.chopped(1), unit.ms);
    return ReadMilliseconds(word, 1000);
}

// In the largest unit that keeps it whole, seconds with decimals otherwise.
QString TimeWord(int64_t ms)
{
    for (const auto& unit : kTimeUnits)
        if (ms > 0 && ms % unit.ms == 0)
            return QString::number(ms / unit.ms) + QLatin1Char(unit.letter);
    return QString::number(double(ms) / 1000.0) + QLatin1Char('s');
}

}  // namespace

std::optional<int32_t> ReadFade(QStringView word)
{
    const auto ms = ReadMilliseconds(word.endsWith(u's') ? word.chopped(1) : word, 1000);
    if (!ms || *ms > kMaxFade_ms)
        return std::nullopt;
    return int32_t(*ms);
}

QString FadeWord(int32_t fade_ms) { return QString::number(double(fade_ms) / 1000.0) + QLatin1Char('s'); }
QString FadeAccepted() { return QStringLiteral("seconds from 0 to 10, such as 0.5"); }

std::optional<int32_t> ReadOpacity(QStringView word)
{
    return ReadNumber(word.endsWith(u'%') ? word.chopped(1) : word, 0, kMaxOpacityPercent);
}

QString OpacityWord(int32_t percent) { return QString::number(percent); }
QString OpacityAccepted() { return QStringLiteral("a percentage from 0 to 100, such as 70"); }

std::optional<int32_t> ReadSafeArea(QStringView word) { return Find(kSafeAreas, word); }
QString SafeAreaWord(int32_t safe_area) { return WordOf(kSafeAreas, safe_area); }
QString SafeAreasAccepted() { return OneOf(WordsOf(kSafeAreas)); }

std::optional<int32_t> ReadScale(QStringView word)
{
    if (word == u"fit")
        return kScaleFit;
    return ReadNumber(word.endsWith(u'%') ? word.chopped(1) : word, 1, kMaxScalePercent);
}

QString ScaleWord(int32_t scale) { return scale == kScaleFit ? QStringLiteral("fit") : QString::number(scale); }
QString ScaleAccepted() { return QStringLiteral("a percentage from 1 to 400, such as 50, or fit"); }

std::optional<CycleSetting> ReadCycle(QStringView word)
{
    if (word == u"off")
        return CycleSetting{};
    const QList<QStringView> parts = word.split(u'/');
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    const auto show = ReadTime(parts[0]), every = ReadTime(parts[1]);
    const auto delay = parts.size() == 3 ? ReadTime(parts[2]) : std::optional<int64_t>(0);
    // Shown at least as long as the period, the logo would simply stay on.
    constexpr int64_t kLongest_ms = int64_t{24} * 3600000;
    if (!show || !every || !delay || *show <= 0 || *show >= *every || *every > kLongest_ms || *delay > kLongest_ms)
        return std::nullopt;
    return CycleSetting{*show, *every, *delay};
}

QString CycleWord(const CycleSetting& cycle)
{
    if (cycle.every_ms <= 0)
        return QStringLiteral("off");
    QString word = TimeWord(cycle.show_ms) + QLatin1Char('/') + TimeWord(cycle.every_ms);
    if (cycle.delay_ms > 0)
        word += QLatin1Char('/') + TimeWord(cycle.delay_ms);
    return word;
}

QString CycleAccepted()
{
    return QStringLiteral("SHOW/EVERY or SHOW/EVERY/DELAY with times such as 10s, 10m or 1h, SHOW shorter than "
                          "EVERY (at most 24h), or off");
}

std::optional<bool> ReadFlag(QStringView word)
{
    for (const char* yes : {"true", "yes", "1"})
        if (word == QLatin1StringView(yes))
            return true;
    for (const char* no : {"false", "no", "0"})
        if (word == QLatin1StringView(no))
            return false;
    return std::nullopt;
}

QString FlagWord(bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); }
QString FlagAccepted() { return QStringLiteral("true or false"); }

std::optional<ControlEndpoint> ReadEndpoint(QStringView word)
{
    ControlEndpoint endpoint;
    const qsizetype colon = word.lastIndexOf(u':');
    if (colon >= 0) {
        QStringView address = word.left(colon);
        if (address.startsWith(u'[') && address.endsWith(u']'))
            address = address.sliced(1, address.size() - 2);
        else if (address.contains(u':'))
            return std::nullopt;  // an IPv6 address goes in brackets
        if (!endpoint.address.setAddress(address.toString()))
            return std::nullopt;
    }
    const auto port = ReadNumber(word.sliced(colon + 1), 1, 65535);
    if (!port)
        return std::nullopt;
    endpoint.port = quint16(*port);
    return endpoint;
}

QString EndpointWord(const ControlEndpoint& endpoint)
{
    const QString address = endpoint.address.protocol() == QAbstractSocket::IPv6Protocol
        ? QLatin1Char('[') + endpoint.address.toString() + QLatin1Char(']')
        : endpoint.address.toString();
    return address + QLatin1Char(':') + QString::number(endpoint.port);
}

QString EndpointAccepted()
{
    return QStringLiteral("a port from 1 to 65535, or ADDRESS:PORT with an IP address ([...] for IPv6)");
}

QString RoleWord(SyncRole role)
{
    switch (role) {
    case SyncRole::kMaster: return QStringLiteral("master");
    case SyncRole::kSlave: return QStringLiteral("slave");
    case SyncRole::kNone: break;
    }
    return QStringLiteral("none");
}

constexpr SyncRole kRoles[] = {SyncRole::kMaster, SyncRole::kSlave, SyncRole::kNone};

std::optional<SyncRole> ReadRole(QStringView word)
{
    for (SyncRole role : kRoles)
        if (word == RoleWord(role))
            return role;
    return std::nullopt;
}

QString RolesAccepted()
{
    QStringList words;
    for (SyncRole role : kRoles)
        words << RoleWord(role);
    return OneOf(words);
}

}  // namespace vantor::words
