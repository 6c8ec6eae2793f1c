#include "WorkRunner.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include <mutex>

namespace selvane {

// The job's side of the progress: the worker writes, the window reads.
struct WorkRunner::RunningJob : WorkProgress {
  BackgroundJob Job;
  std::unique_ptr<QThread> Thread;
  std::atomic<bool> CancelFlag{false};
  mutable std::mutex StageMutex;
  std::string CurrentStage;

  void Stage(const std::string& stage) override {
    std::lock_guard<std::mutex> lock(StageMutex);
    CurrentStage = stage;
  }
  bool CancelRequested() const override { return CancelFlag.load(); }
  std::string StageNow() const {
    std::lock_guard<std::mutex> lock(StageMutex);
    return CurrentStage;
  }
};

struct WorkRunner::RunningFrames {
  long long Count = 0;
  long long Next = 1;
  std::function<void(long long)> Frame;
  std::function<void()> Finished;
  std::function<void()> Present;
};

WorkRunner::WorkRunner(QStatusBar* bar)
    : QObject(bar), StageLabel(new QLabel(bar)), Bar(new QProgressBar(bar)),
      Cancel(new QPushButton("Cancel", bar)), Pause(new QPushButton("Pause", bar)),
      Stop(new QPushButton("Stop", bar)), FrameTimer(new QTimer(this)),
      StagePoll(new QTimer(this)) {
  StageLabel->setObjectName("workStage");
  Bar->setRange(0, 0); // the stages have no known length: a busy indicator
  Bar->setMaximumWidth(120);
  for (QWidget* w :
       {static_cast<QWidget*>(StageLabel), static_cast<QWidget*>(Bar),
        static_cast<QWidget*>(Cancel), static_cast<QWidget*>(Pause), static_cast<QWidget*>(Stop)}) {
    bar->addPermanentWidget(w);
    w->hide();
  }
  Pause->setCheckable(true);
  connect(Cancel, &QPushButton::clicked, this, [this] {
    if (Job) {
      Job->CancelFlag = true;
      StageLabel->setText("Cancelling...");
    }
  });
  connect(Pause, &QPushButton::toggled, this, [this](bool paused) {
    Pause->setText(paused ? "Resume" : "Pause");
    if (!Frames)
      return;
    if (paused)
      FrameTimer->stop();
    else
      FrameTimer->start();
  });
  connect(Stop, &QPushButton::clicked, this, [this] { EndFrames(); });
  // One frame per turn of the event loop: input and paints are handled between frames.
  FrameTimer->setInterval(0);
  connect(FrameTimer, &QTimer::timeout, this, [this] { NextFrame(); });
  // The stage shown follows the worker's.
  StagePoll->setInterval(100);
  connect(StagePoll, &QTimer::timeout, this, [this] {
    if (Job)
      StageLabel->setText(QString::fromStdString(Job->StageNow()));
  });
}

WorkRunner::~WorkRunner() {
  CancelAndWait();
}

QString WorkRunner::StageText() const {
  return StageLabel->text();
}

void WorkRunner::ShowControls() {
  const bool job = Job != nullptr;
  const bool frames = Frames != nullptr;
  StageLabel->setVisible(job || frames);
  Bar->setVisible(job);
  Cancel->setVisible(job);
  Pause->setVisible(frames);
  Stop->setVisible(frames);
}

void WorkRunner::Run(BackgroundJob job) {
  if (Job) // one job at a time; the window's commands wait while one runs
    return;
  Job = std::make_unique<RunningJob>();
  Job->Job = std::move(job);
  StageLabel->setText(QString::fromStdString(Job->Job.Title));
  RunningJob* running = Job.get();
  Job->Thread.reset(QThread::create([running] { running->Job.Work(*running); }));
  connect(Job->Thread.get(), &QThread::finished, this, &WorkRunner::JobEnded, Qt::QueuedConnection);
  ShowControls();
  emit BusyChanged(true);
  StagePoll->start();
  Job->Thread->start();
}

void WorkRunner::JobEnded() {
  if (!Job)
    return;
  StagePoll->stop();
  std::unique_ptr<RunningJob> ended = std::move(Job);
  ended->Thread->wait();
  ShowControls();
  const bool completed = !ended->CancelFlag.load();
  if (!Busy())
    emit BusyChanged(false);
  if (ended->Job.Done)
    ended->Job.Done(completed);
}

void WorkRunner::CancelAndWait() {
  StagePoll->stop();
  if (Job) {
    Job->CancelFlag = true;
    Job->Thread->wait();
    Job.reset();
  }
  FrameTimer->stop();
  Frames.reset();
}

void WorkRunner::Play(long long count, std::function<void(long long)> frame,
                      std::function<void()> finished, std::function<void()> present) {
  if (Frames)
    EndFrames();
  Frames = std::make_unique<RunningFrames>();
  Frames->Count = count;
  Frames->Frame = std::move(frame);
  Frames->Finished = std::move(finished);
  Frames->Present = std::move(present);
  Pause->setChecked(false);
  StageLabel->setText("Animation");
  ShowControls();
  emit BusyChanged(true);
  if (count <= 1) {
    EndFrames();
    return;
  }
  FrameTimer->start();
}

void WorkRunner::NextFrame() {
  if (!Frames)
    return;
  const long long k = Frames->Next++;
  StageLabel->setText(QString("Frame %1 of %2").arg(k).arg(Frames->Count - 1));
  Frames->Frame(k);
  if (Frames && Frames->Present)
    Frames->Present();
  if (Frames && Frames->Next >= Frames->Count)
    EndFrames();
}

void WorkRunner::EndFrames() {
  FrameTimer->stop();
  if (!Frames)
    return;
  std::unique_ptr<RunningFrames> ended = std::move(Frames);
  ShowControls();
  if (!Busy())
    emit BusyChanged(false);
  if (ended->Finished)
    ended->Finished();
}

} // namespace selvane
