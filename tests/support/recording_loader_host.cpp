#include "recording_loader_host.h"

#include <QFileInfo>

#include <utility>

#include <gtest/gtest.h>

namespace vantor::test {

bool RecordingLoaderHost::TakePendingStep()
{
    return std::exchange(step_pending_, false);
}

bool RecordingLoaderHost::ChooseAndLoad(RgbaImage& image)
{
    log << QStringLiteral("choose");
    if (pick_path.isEmpty())
        return false;
    image.file_path = pick_path;
    image.file_title = QFileInfo(pick_path).fileName();
    return image.LoadFromFile(pick_path, memory);
}

bool RecordingLoaderHost::AskOkCancel(const QString& caption, const QString& text)
{
    log << QStringLiteral("ask %1: %2").arg(caption, text);
    if (on_question)
        on_question();
    return answer_ok;
}

void RecordingLoaderHost::ShowMessage(const QString& caption, const QString& text)
{
    log << QStringLiteral("message %1: %2").arg(caption, text);
}

void RecordingLoaderHost::ShowProgress(uint16_t maximum, int32_t position)
{
    log << QStringLiteral("progress 0..%1 at %2").arg(maximum).arg(position);
}

void RecordingLoaderHost::SetProgressPosition(int32_t position)
{
    log << QStringLiteral("position %1").arg(position);
}

void RecordingLoaderHost::ReportLoadFailure(const QString& path)
{
    log << QStringLiteral("failed %1").arg(QFileInfo(path).fileName());
}

void RecordingLoaderHost::HideProgress()
{
    log << QStringLiteral("hide progress");
}

void RecordingLoaderHost::SetLoadingLabel(const QString& text)
{
    log << QStringLiteral("label ") + text;
}

void RecordingLoaderHost::DrawThumbnail(const RgbaImage& image)
{
    log << QStringLiteral("thumbnail ") + image.file_title;
}

void RecordingLoaderHost::ShowLoadedPicture(const RgbaImage& image)
{
    log << QStringLiteral("show %1 %2x%3").arg(image.file_title).arg(image.width).arg(image.height);
}

void RecordingLoaderHost::SetOverlayLabel(const QString& text)
{
    log << QStringLiteral("overlay label ") + text;
}

void RecordingLoaderHost::ScheduleStep(int delay_ms)
{
    log << QStringLiteral("schedule %1").arg(delay_ms);
    step_pending_ = true;
}

void RecordingLoaderHost::CancelStep()
{
    log << QStringLiteral("cancel step");
    step_pending_ = false;
}

int RunPendingSteps(SequenceLoader& loader, RecordingLoaderHost& host)
{
    int steps = 0;
    while (host.TakePendingStep()) {
        const bool scheduled = loader.LoadSequenceStep();
        EXPECT_EQ(scheduled, host.StepPending()) << "step " << steps;
        ++steps;
    }
    return steps;
}

}  // namespace vantor::test
