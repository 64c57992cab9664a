#include "control/control_api.h"

#include "control/api_fields.h"
#include "control/copy_control.h"
#include "control/invisible_logo.h"
#include "control/metrics.h"
#include "control/offset_rule.h"
#include "control/setup_words.h"
#include "engine/engine.h"
#include "engine/engine_constants.h"
#include "engine/instance_sync.h"
#include "engine/playback_state.h"
#include "engine/sender.h"
#include "imagery/image_decoder.h"
#include "imagery/overlay_state.h"
#include "imagery/picture_scale.h"
#include "imagery/regular_file.h"

#include <QBuffer>
#include <QFileInfo>


namespace vantor {
namespace {

constexpr int kPictureWait_ms = 2000;

QString LampWord(int bitmap_id)
{
    switch (bitmap_id) {
    case kLampRed: return QStringLiteral("red");
    case kLampAmber: return QStringLiteral("amber");
    default: return QStringLiteral("grey");
    }
}

// The API takes a percentage as a number: as a text, only fit.
std::optional<int32_t> ReadFitOnly(QStringView word)
{
    return word == u"fit" ? std::optional<int32_t>(kScaleFit) : std::nullopt;
}

QJsonValue OrNull(const QString& text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); }
QJsonValue OrNull(const std::optional<int64_t>& number) { return number ? QJsonValue(qint64(*number)) : QJsonValue(); }

// Hands the file opened for the check to the load, once, so the picture decoded is the one
// checked; the run's other files are opened by `others`.
FileOpener OpenedFirst(const QString& path, std::unique_ptr<QFile> first, FileOpener others)
{
    auto held = std::make_shared<std::unique_ptr<QFile>>(std::move(first));
    return [path, held, others = std::move(others)](const QString& name) {
        return name == path && *held ? std::move(*held) : others(name);
    };
}

}  // namespace

struct ControlApi::OverlayChange {
    bool loads = false;  // a file was loaded first
    std::optional<bool> on;
    std::optional<int32_t> corner;
    std::optional<int32_t> x;
    std::optional<int32_t> y;
    bool solid = false;
    std::optional<int32_t> fade_ms;
    std::optional<int32_t> opacity;
    std::optional<int32_t> safe_area;
    std::optional<CycleSetting> cycle;
    std::optional<int32_t> scale;
};

ControlApi::ControlApi(CopyParts parts, FileAccess files, QObject* parent)
    : QObject(parent), parts_(parts), files_(std::move(files)),
      library_(files_.folder, AvailableMemoryBytes, [this](const QString& path) { return IsLogoFile(path); })
{
    picture_deadline_.setSingleShot(true);
    picture_deadline_.setInterval(kPictureWait_ms);
    connect(&parts_.engine, &Engine::snapshotReady, this, &ControlApi::DeliverPicture);
    connect(&picture_deadline_, &QTimer::timeout, this, [this] { DeliverPicture(QImage()); });
}

ApiReply ControlApi::Metrics() const { return MetricsReply(parts_); }

QJsonObject ControlApi::State() const
{
    const Setup setup = parts_.control.Current();
    const Engine& engine = parts_.engine;
    const int32_t number = engine.instance_number();
    const int32_t receivers = engine.receiver_count();
    const bool loaded = parts_.control.picture_loaded();
    const OverlayOffset largest = LargestOffsetInFrame(engine.format().width, engine.format().height);
    return {
        {QStringLiteral("copy"), number + 1},
        {QStringLiteral("source"), QString::fromLatin1(SourceName(number).data())},
        {QStringLiteral("width"), engine.format().width},
        {QStringLiteral("height"), engine.format().height},
        {QStringLiteral("rate"), setup.rate ? words::RateCaption(*setup.rate) : QString()},
        {QStringLiteral("sending"), engine.running()},
        {QStringLiteral("on_network"), engine.sender_exists()},
        {QStringLiteral("clear_frame"), engine.holds_clear_frame()},
        {QStringLiteral("lamp"), LampWord(engine.lamp())},
        {QStringLiteral("overlay"),
         QJsonObject{
             {QStringLiteral("file"), OrNull(setup.overlay.value_or(QString()))},
             {QStringLiteral("frames"), loaded ? parts_.overlay.frames.frame_count : 0},
             {QStringLiteral("loading"), parts_.control.overlay_loading() || parts_.overlay.frames.loading},
             {QStringLiteral("on"), *setup.on},
             {QStringLiteral("corner"), words::CornerWord(*setup.corner)},
             {QStringLiteral("x"), setup.offset->x},
             {QStringLiteral("y"), setup.offset->y},
             {QStringLiteral("x_max"), largest.x},
             {QStringLiteral("y_max"), largest.y},
             {QStringLiteral("solid"), *setup.solid},
             {QStringLiteral("watermark"), engine.watermark_on()},
             {QStringLiteral("invisible"), parts_.control.picture_invisible()},
             {QStringLiteral("fade_ms"), *setup.fade_ms},
             {QStringLiteral("opacity"), *setup.opacity},
             {QStringLiteral("safe_area"), words::SafeAreaWord(*setup.safe_area)},
             {QStringLiteral("cycle"), words::CycleWord(*setup.cycle)},
             {QStringLiteral("scale"), *setup.scale == kScaleFit ? QJsonValue(QStringLiteral("fit"))
                                                                 : QJsonValue(*setup.scale)},
             {QStringLiteral("cycle_next_ms"), OrNull(parts_.control.CycleNextShow_ms())},
         }},
        {QStringLiteral("playback"),
         QJsonObject{
             {QStringLiteral("mode"), words::ModeWord(*setup.mode)},
             {QStringLiteral("pause"), setup.pause->value},
             {QStringLiteral("unit"), words::PauseUnitWord(setup.pause->unit)},
             {QStringLiteral("one_shot"), *setup.one_shot},
             {QStringLiteral("run_rate"), parts_.overlay.frames.run_rate},
             {QStringLiteral("armed"), parts_.playback.armed()},
         }},
        {QStringLiteral("master"), parts_.sync.master()},
        {QStringLiteral("slave"), parts_.sync.slave()},
        {QStringLiteral("role"), words::RoleWord(*setup.role)},
        {QStringLiteral("receivers"), receivers < 0 ? QJsonValue() : QJsonValue(receivers)},
        {QStringLiteral("port"), engine.port() == 0 ? QJsonValue() : QJsonValue(engine.port())},
        {QStringLiteral("setup_saved"), parts_.control.setup_not_saved().isEmpty()},
        {QStringLiteral("setup_save_error"), OrNull(parts_.control.setup_not_saved())},
    };
}

ApiReply ControlApi::Start(const QJsonObject& body)
{
    if (ApiFields fields(body, {}); !fields.ok())
        return ApiReply::Error(400, fields.problem());
    parts_.control.Start();
    if (!parts_.engine.running())
        return ApiReply::Error(409, QStringLiteral("the copy cannot send now: it has no source (see its output line)"));
    return Changed();
}

ApiReply ControlApi::Stop(const QJsonObject& body)
{
    if (ApiFields fields(body, {}); !fields.ok())
        return ApiReply::Error(400, fields.problem());
    parts_.control.Stop();
    return Changed();
}

ApiReply ControlApi::Go(const QJsonObject& body)
{
    if (ApiFields fields(body, {}); !fields.ok())
        return ApiReply::Error(400, fields.problem());
    if (!parts_.control.PressGo())
        return ApiReply::Error(409, parts_.playback.is_sequence
                                        ? QStringLiteral("Go has nothing to start: One-Shot is off and there is no pause")
                                        : QStringLiteral("Go has nothing to start: the logo is a single picture, which "
                                                         "plays no pass"));
    return Changed();
}

ApiReply ControlApi::Format(const QJsonObject& body)
{
    ApiFields fields(body, {"size", "rate"});
    const auto size = fields.Word("size", words::ReadSize, words::SizesAccepted);
    const auto rate = fields.Word("rate", words::ReadRate, words::RatesAccepted);
    if (!fields.ok())
        return ApiReply::Error(400, fields.problem());
    if (!size && !rate)
        return NewState();
    // As the menus, which are there only while the copy is stopped: a format change ends a run.
    if (parts_.engine.running())
        return ApiReply::Error(409, QStringLiteral("the format changes only while the copy is stopped: stop it first"));
    parts_.control.SelectFormat(size, rate);
    return Changed();
}

ApiReply ControlApi::Playback(const QJsonObject& body)
{
    ApiFields fields(body, {"mode", "pause", "unit", "one_shot", "run_rate"});
    const auto mode = fields.Word("mode", words::ReadMode, words::ModesAccepted);
    const auto pause = fields.Number("pause", 0, kMaxPauseValue);
    const auto unit = fields.Word("unit", words::ReadPauseUnit, [] { return QStringLiteral("seconds or frames"); });
    const auto one_shot = fields.Flag("one_shot");
    const auto run_rate = fields.Number("run_rate", 0, words::kMaxRunRate);
    if (!fields.ok())
        return ApiReply::Error(400, fields.problem());
    if (run_rate)
        parts_.control.SetRunRate(*run_rate);
    if (mode)
        parts_.control.SetPlayMode(*mode);
    if (pause || unit)
        parts_.control.SetPause({pause.value_or(parts_.playback.pause_value), unit.value_or(parts_.playback.pause_unit)});
    if (one_shot)
        parts_.control.SetOneShot(*one_shot);
    return Changed();
}

ApiReply ControlApi::Role(const QJsonObject& body)
{
    ApiFields fields(body, {"role"});
    const auto role = fields.Word("role", words::ReadRole, words::RolesAccepted);
    if (!fields.ok())
        return ApiReply::Error(400, fields.problem());
    if (role)
        parts_.control.SetRole(*role);
    return Changed();
}

ApiReply ControlApi::Changed(const QString& warning)
{
    parts_.engine.ShowChangeInPreview();
    QJsonObject state = State();
    if (!warning.isEmpty())
        state.insert(QStringLiteral("warning"), warning);
    return ApiReply::Json(state);
}

void ControlApi::Overlay(const QJsonObject& body, ReplyTo reply)
{
    ApiFields fields(body, {"file", "on", "corner", "x", "y", "solid", "fade_ms", "opacity", "safe_area", "cycle", "scale"});
    const auto file = fields.Text("file");
    OverlayChange change;
    change.on = fields.Flag("on");
    change.corner = fields.Word("corner", words::ReadCorner, words::CornersAccepted);
    change.x = fields.Number("x", 0, kMaxXOffset);
    change.y = fields.Number("y", 0, kMaxYOffset);
    const auto solid = fields.Flag("solid");
    change.fade_ms = fields.Number("fade_ms", 0, kMaxFade_ms);
    change.opacity = fields.Number("opacity", 0, kMaxOpacityPercent);
    change.safe_area = fields.Word("safe_area", words::ReadSafeArea, words::SafeAreasAccepted);
    change.cycle = fields.Word("cycle", words::ReadCycle, words::CycleAccepted);
    // A percentage as a number, fitting as the word.
    change.scale = body.value(QStringLiteral("scale")).isDouble()
        ? fields.Number("scale", 1, kMaxScalePercent)
        : fields.Word("scale", ReadFitOnly, words::ScaleAccepted);
    if (!fields.ok())
        return reply(ApiReply::Error(400, fields.problem()));
    if (solid == false)
        return reply(ApiReply::Error(400, QStringLiteral("solid takes only true: an opaque picture stays so until "
                                                         "another is loaded")));
    change.solid = solid.value_or(false);
    if (change.x || change.y) {
        const OverlayOffset offset{change.x.value_or(parts_.overlay.x_offset), change.y.value_or(parts_.overlay.y_offset)};
        const OutputFormat format = parts_.engine.format();
        if (const QString outside = OffsetOutsideFrame(QStringLiteral("offset"), offset, format.width, format.height);
            !outside.isEmpty())
            return reply(ApiReply::Error(400, outside));
    }
    if (file) {
        change.loads = true;
        FileOpener open;
        if (const auto refusal = FileRefusal(*file, open))
            return reply(*refusal);
        const auto loaded = [this, change, reply](const OverlayLoadResult& result) {
            if (!result.failure.isEmpty())
                return reply(ApiReply::Error(422, result.failure));
            reply(ApplyOverlay(change));
        };
        return parts_.control.LoadOverlay(*file, loaded, std::move(open));
    }
    if ((change.on == true || change.solid) && !parts_.control.picture_loaded())
        return reply(ApiReply::Error(409, QStringLiteral("no picture is loaded: give a file")));
    reply(ApplyOverlay(change));
}

// On last: the place is right from the first frame that shows the logo.
ApiReply ControlApi::ApplyOverlay(const OverlayChange& change)
{
    if (change.solid && !parts_.control.MakeSolid())
        return ApiReply::Error(503, QStringLiteral("there is no memory to make the picture solid"));
    if (change.fade_ms)
        parts_.control.SetFade(*change.fade_ms);
    if (change.opacity)
        parts_.control.SetOpacity(*change.opacity);
    if (change.safe_area)
        parts_.control.SetSafeArea(*change.safe_area);
    if (change.scale)
        parts_.control.SetScale(*change.scale);
    if (change.corner)
        parts_.control.SetCorner(*change.corner);
    if (change.x || change.y)
        parts_.control.SetOffsets(change.x.value_or(parts_.overlay.x_offset), change.y.value_or(parts_.overlay.y_offset));
    if (change.on) {
        parts_.control.SetOverlayOn(*change.on);
        parts_.control.ConfirmOverlay();
    }
    if (change.cycle)  // after On and Off: Off stops a cycle, and this one is the operator's last word
        parts_.control.SetCycle(*change.cycle);
    // Said whenever such a logo is taken in or put on air: an automation learns it in the answer.
    const bool said = (change.loads || change.on == true) && parts_.control.picture_invisible();
    return Changed(said ? InvisibleLogoWarning(parts_.control.Current().overlay.value_or(QString())) : QString());
}

bool ControlApi::IsLogoFile(const QString& path) const
{
    const std::optional<QString> logo = parts_.control.Current().overlay;
    if (!logo || !parts_.control.picture_loaded())
        return false;
    const QString file = QFileInfo(path).canonicalFilePath();
    if (file == QFileInfo(*logo).canonicalFilePath())
        return true;
    // A numbered run is loaded from several files; any of them replaced leaves the old picture on air.
    const FrameList& frames = parts_.overlay.frames;
    const int32_t count = frames.name.has_number ? frames.frame_count : 1;
    for (int32_t i = 1; i < count; ++i)
        if (file == QFileInfo(SequenceFramePath(frames.name, frames.name.first_number + i)).canonicalFilePath())
            return true;
    return false;
}

std::optional<ApiReply> ControlApi::FileRefusal(const QString& path, FileOpener& open) const
{
    if (HasControlCharacters(path))
        return ApiReply::Error(400, QStringLiteral("file takes a path without control characters"));
    if (!QFileInfo(path).isAbsolute())
        return ApiReply::Error(400, QStringLiteral("file takes an absolute path, not \"%1\"").arg(path));
    if (!files_.anywhere && !files_.folder)
        return ApiReply::Error(403, QStringLiteral("loading files is off here: the copy was started without "
                                                   "--control-files"));
    open = OpenRegularFile;
    if (files_.folder)
        open = [folder = *files_.folder](const QString& name) { return OpenRegularFileBeneath(folder, name); };
    bool led_out = false;
    std::unique_ptr<QFile> first = files_.folder ? OpenRegularFileBeneath(*files_.folder, path, &led_out) : open(path);
    // The same answer whatever is outside, so it tells nothing of what is there.
    if (led_out)
        return ApiReply::Error(403, QStringLiteral("the file is outside %1, the only folder files load from")
                                        .arg(*files_.folder));
    if (!first)
        return ApiReply::Error(400, path + QStringLiteral(": ") + DescribeLoadFailure(path));
    open = OpenedFirst(path, std::move(first), std::move(open));
    return std::nullopt;
}

void ControlApi::OutputPicture(ReplyTo reply)
{
    waiting_for_picture_.push_back(std::move(reply));
    if (waiting_for_picture_.size() > 1)
        return;  // the picture on its way answers this one too
    picture_deadline_.start();
    parts_.engine.RequestSnapshot();
}

void ControlApi::DeliverPicture(const QImage& picture)
{
    picture_deadline_.stop();
    ApiReply answer = ApiReply::Error(503, QStringLiteral("no picture of the output came"));
    if (!picture.isNull()) {
        QByteArray bytes;
        QBuffer png(&bytes);
        png.open(QIODevice::WriteOnly);
        picture.save(&png, "PNG");
        answer = {200, bytes, "image/png"};
    }
    for (const ReplyTo& reply : std::exchange(waiting_for_picture_, {}))
        reply(answer);
}

}  // namespace vantor
