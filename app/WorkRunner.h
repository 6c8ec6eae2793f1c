#pragma once

#include "WindowingLayer.h"

#include <QObject>

#include <atomic>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QThread;
class QTimer;

namespace selvane {

// Runs the window's long work: background jobs on a worker thread and animations on a timer,
// with their controls in the status bar (the stage and Cancel; Pause and Stop). One of each at
// a time; while either runs the window is Busy.
class WorkRunner : public QObject {
  Q_OBJECT
public:
  explicit WorkRunner(QStatusBar* bar);
  ~WorkRunner() override;

  void Run(BackgroundJob job);
  void Play(long long count, std::function<void(long long)> frame, std::function<void()> finished,
            std::function<void()> present);

  bool Busy() const { return Job != nullptr || Frames != nullptr; }
  // Waits for a running job to end (cancelling it), so the window can close.
  void CancelAndWait();

  // Controls, for tests and the keys.
  QPushButton* CancelButton() const { return Cancel; }
  QPushButton* PauseButton() const { return Pause; }
  QPushButton* StopButton() const { return Stop; }
  QString StageText() const;

signals:
  void BusyChanged(bool busy);

private:
  struct RunningJob;
  struct RunningFrames;
  void JobEnded();
  void NextFrame();
  void EndFrames();
  void ShowControls();

  QLabel* StageLabel;
  QProgressBar* Bar;
  QPushButton* Cancel;
  QPushButton* Pause;
  QPushButton* Stop;
  QTimer* FrameTimer;
  QTimer* StagePoll; // shows the worker's stage while a job runs
  std::unique_ptr<RunningJob> Job;
  std::unique_ptr<RunningFrames> Frames;
};

} // namespace selvane
