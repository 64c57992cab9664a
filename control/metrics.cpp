#include "control/metrics.h"

#include "control/control_api.h"
#include "control/copy_control.h"
#include "engine/engine.h"
#include "imagery/overlay_state.h"

namespace vantor {
namespace {

class Exposition {
public:
    void Metric(const char* name, const char* type, const char* help)
    {
        text_ += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n").arg(QLatin1StringView(name), QLatin1StringView(help),
                                                                    QLatin1StringView(type));
    }
    void Sample(const QString& name, double value)
    {
        text_ += name + QLatin1Char(' ') + QString::number(value, 'g', 17) + QLatin1Char('\n');
    }
    void Sample(const char* name, double value) { Sample(QLatin1StringView(name).toString(), value); }
    QByteArray bytes() const { return text_.toUtf8(); }

private:
    QString text_;
};

void LatenessHistogram(Exposition& out, const SendFigures& figures)
{
    out.Metric("ndivantor_frame_lateness_seconds", "histogram",
               "How long after its time each frame left the sender.");
    uint64_t count = 0;
    for (size_t bucket = 0; bucket <= SendFigures::kLatenessBounds_s.size(); ++bucket) {
        count += figures.lateness_bucket(bucket);
        const QString bound = bucket < SendFigures::kLatenessBounds_s.size()
                                  ? QString::number(SendFigures::kLatenessBounds_s[bucket])
                                  : QStringLiteral("+Inf");
        out.Sample(QStringLiteral("ndivantor_frame_lateness_seconds_bucket{le=\"%1\"}").arg(bound), double(count));
    }
    out.Sample("ndivantor_frame_lateness_seconds_sum", figures.lateness_sum_s());
    out.Sample("ndivantor_frame_lateness_seconds_count", double(count));
}

}  // namespace

ApiReply MetricsReply(const CopyParts& parts)
{
    const Engine& engine = parts.engine;
    const SendFigures& figures = engine.figures();
    Exposition out;
    out.Metric("ndivantor_frames_sent_total", "counter", "Frames the send loop has sent.");
    out.Sample("ndivantor_frames_sent_total", double(figures.frames_sent()));
    out.Metric("ndivantor_frames_late_total", "counter", "Frames that went out more than one frame period late.");
    out.Sample("ndivantor_frames_late_total", double(figures.frames_late()));
    LatenessHistogram(out, figures);
    out.Metric("ndivantor_bytes_sent_total", "counter",
               "Bytes of the stream written to receivers (none under the vendor's runtime).");
    out.Sample("ndivantor_bytes_sent_total", double(engine.bytes_sent()));
    out.Metric("ndivantor_receivers", "gauge", "Receivers of the source now (left out when the runtime does not say).");
    if (const int32_t receivers = engine.receiver_count(); receivers >= 0)
        out.Sample("ndivantor_receivers", receivers);
    out.Metric("ndivantor_sending", "gauge", "1 while the copy sends, 0 when it is stopped.");
    out.Sample("ndivantor_sending", engine.running() ? 1 : 0);
    out.Metric("ndivantor_overlay_on", "gauge", "1 while the logo overlay is switched on.");
    out.Sample("ndivantor_overlay_on", parts.overlay.overlay_on ? 1 : 0);
    out.Metric("ndivantor_overlay_opacity_percent", "gauge", "The logo's set opacity.");
    out.Sample("ndivantor_overlay_opacity_percent", parts.overlay.opacity_percent);
    out.Metric("ndivantor_overlay_fading", "gauge", "1 while the logo fades in, out or into another.");
    out.Sample("ndivantor_overlay_fading", engine.fading() ? 1 : 0);
    out.Metric("ndivantor_overlay_cycle", "gauge", "1 while the logo shows on a timed cycle.");
    out.Sample("ndivantor_overlay_cycle", parts.overlay.cycle.start_ns != 0 ? 1 : 0);
    out.Metric("ndivantor_pictures_loaded", "gauge", "Pictures of the overlay loaded (a numbered run counts each).");
    out.Sample("ndivantor_pictures_loaded", parts.control.picture_loaded() ? parts.overlay.frames.frame_count : 0);
    return {200, out.bytes(), "text/plain; version=0.0.4; charset=utf-8"};
}

}  // namespace vantor
