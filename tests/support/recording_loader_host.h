#pragma once
// A sequence loader host without windows: it records every request as one line of text, in
// order, answers the question as told, and keeps the scheduled step for the test to run.

#include "imagery/sequence_loader.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace vantor::test {

class RecordingLoaderHost : public SequenceLoaderHost {
public:
    QStringList log;
    QString pick_path;                  // the file the operator picks; empty: cancelled
    bool answer_ok = true;              // the answer to the question
    std::function<void()> on_question;  // runs while the question is open
    MemoryGauge memory = AvailableMemoryBytes;  // what the picked file's load may take

    // True once per scheduled step: the test then runs the step, as the dialog's timer would.
    bool TakePendingStep();
    bool StepPending() const { return step_pending_; }

    bool ChooseAndLoad(RgbaImage& image) override;
    bool AskOkCancel(const QString& caption, const QString& text) override;
    void ShowMessage(const QString& caption, const QString& text) override;
    void ShowProgress(uint16_t maximum, int32_t position) override;
    void SetProgressPosition(int32_t position) override;
    void HideProgress() override;
    void SetLoadingLabel(const QString& text) override;
    void DrawThumbnail(const RgbaImage& image) override;
    void ShowLoadedPicture(const RgbaImage& image) override;
    void SetOverlayLabel(const QString& text) override;
    void ReportLoadFailure(const QString& path) override;
    void ScheduleStep(int delay_ms) override;
    void CancelStep() override;

private:
    bool step_pending_ = false;
};

// Runs the scheduled steps until the load ends; returns how many ran.
int RunPendingSteps(SequenceLoader& loader, RecordingLoaderHost& host);

}  // namespace vantor::test
