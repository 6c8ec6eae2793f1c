#include "WindowingLayer.h"

namespace selvane {

namespace {

struct NoProgress : WorkProgress {
  void Stage(const std::string&) override {}
  bool CancelRequested() const override { return false; }
};

} // namespace

void WindowingLayer::FillListBox(int list, const std::vector<std::string>& texts) {
  ClearListBox(list);
  for (const std::string& text : texts)
    AddListBoxText(list, text);
}

void WindowingLayer::RunInBackground(BackgroundJob job) {
  NoProgress progress;
  job.Work(progress);
  if (job.Done)
    job.Done(true);
}

void WindowingLayer::PlayFrames(long long count, std::function<void(long long k)> frame,
                                std::function<void()> finished) {
  for (long long k = 1; k < count; ++k) {
    frame(k);
    PresentFrame();
  }
  if (finished)
    finished();
}

} // namespace selvane
