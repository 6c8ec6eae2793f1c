#include "VtkMessageCapture.h"

#include <vtkCallbackCommand.h>
#include <vtkCommand.h>
#include <vtkObjectFactory.h>
#include <vtkOutputWindow.h>

namespace selvane::formats {

// An output window that keeps what VTK would print (errors, warnings, generic warnings).
class CapturingOutputWindow : public vtkOutputWindow {
public:
  static CapturingOutputWindow* New();
  vtkTypeMacro(CapturingOutputWindow, vtkOutputWindow);

  MessageLog* Log = nullptr;

  void DisplayText(const char* text) override { this->Keep(text); }
  void DisplayErrorText(const char* text) override { this->Keep(text); }
  void DisplayWarningText(const char* text) override { this->Keep(text); }
  void DisplayGenericWarningText(const char* text) override { this->Keep(text); }
  void DisplayDebugText(const char*) override {}

private:
  void Keep(const char* text) {
    if (this->Log) {
      this->Log->Messages.emplace_back(text ? text : "");
    }
  }
};
vtkStandardNewMacro(CapturingOutputWindow);

namespace {

void OnReaderMessage(vtkObject*, unsigned long, void* clientData, void* callData) {
  static_cast<MessageLog*>(clientData)
      ->Messages.emplace_back(callData ? static_cast<const char*>(callData) : "");
}

} // namespace

ScopedVtkMessageCapture::ScopedVtkMessageCapture(vtkObject* watched, MessageLog& log)
    : Watched(watched), Window(vtkSmartPointer<CapturingOutputWindow>::New()),
      Callback(vtkSmartPointer<vtkCallbackCommand>::New()) {
  this->Previous = vtkOutputWindow::GetInstance();
  this->Window->Log = &log;
  vtkOutputWindow::SetInstance(this->Window);
  this->PreviousWarningDisplay = vtkObject::GetGlobalWarningDisplay();
  vtkObject::GlobalWarningDisplayOn();
  this->Callback->SetCallback(OnReaderMessage);
  this->Callback->SetClientData(&log);
  this->ErrorTag = watched->AddObserver(vtkCommand::ErrorEvent, this->Callback);
  this->WarningTag = watched->AddObserver(vtkCommand::WarningEvent, this->Callback);
}

void ScopedVtkMessageCapture::Also(vtkObject* also) {
  this->Others.push_back({also, also->AddObserver(vtkCommand::ErrorEvent, this->Callback),
                          also->AddObserver(vtkCommand::WarningEvent, this->Callback)});
}

ScopedVtkMessageCapture::~ScopedVtkMessageCapture() {
  for (const Observed& other : this->Others) {
    other.Object->RemoveObserver(other.ErrorTag);
    other.Object->RemoveObserver(other.WarningTag);
  }
  this->Watched->RemoveObserver(this->ErrorTag);
  this->Watched->RemoveObserver(this->WarningTag);
  vtkObject::SetGlobalWarningDisplay(this->PreviousWarningDisplay);
  vtkOutputWindow::SetInstance(this->Previous);
  this->Window->Log = nullptr;
}

namespace {

void ReplaceAll(std::string& s, const std::string& what, const std::string& with) {
  if (what.empty()) {
    return;
  }
  for (std::size_t at = s.find(what); at != std::string::npos;
       at = s.find(what, at + with.size())) {
    s.replace(at, what.size(), with);
  }
}

} // namespace

std::string CleanVtkMessage(std::string text, const std::string& path) {
  ReplaceAll(text, path, "the file");
  std::string best;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    std::string line =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? text.size() + 1 : end + 1;
    bool location =
        line.find(": In ") != std::string::npos && line.find(", line ") != std::string::npos;
    if (line.find_first_not_of(" \t\r") == std::string::npos || location) {
      continue;
    }
    best = line;
    break;
  }
  std::size_t object = best.find(" (0x");
  std::size_t colon = object == std::string::npos ? std::string::npos : best.find("): ", object);
  if (colon != std::string::npos) {
    best = best.substr(colon + 3);
  }
  std::size_t forFile = best.find(" for file");
  if (forFile != std::string::npos) {
    best.erase(forFile);
  }
  while (!best.empty() && (best.back() == ' ' || best.back() == '\r' || best.back() == '\t')) {
    best.pop_back();
  }
  if (best.size() > 200) {
    best = best.substr(0, 200) + "...";
  }
  return best.empty() ? "an unspecified problem" : best;
}

} // namespace selvane::formats
