// Capture of what VTK reports while one of its readers runs: errors, warnings and generic
// warnings go to a log instead of the terminal, so that a reader can refuse a file on them and
// tell the user why, in one line without VTK's source locations.
#pragma once

#include <vtkSmartPointer.h>

#include <string>
#include <vector>

class vtkCallbackCommand;
class vtkObject;
class vtkOutputWindow;

namespace selvane::formats {

// Collects every message VTK reports while a read runs.
struct MessageLog {
  std::vector<std::string> Messages;
};

class CapturingOutputWindow;

// While alive: VTK's output window is ours, warnings are displayed (so they reach us), and the
// watched object's ErrorEvent and WarningEvent come to the log. Everything is put back at the end.
class ScopedVtkMessageCapture {
public:
  ScopedVtkMessageCapture(vtkObject* watched, MessageLog& log);
  ~ScopedVtkMessageCapture();
  ScopedVtkMessageCapture(const ScopedVtkMessageCapture&) = delete;
  ScopedVtkMessageCapture& operator=(const ScopedVtkMessageCapture&) = delete;

  // Watches `also` as well (a reader's executive, say), which must outlive the capture: a
  // message of an object nobody observes is printed to the terminal by VTK's logger besides.
  void Also(vtkObject* also);

private:
  struct Observed {
    vtkObject* Object;
    unsigned long ErrorTag;
    unsigned long WarningTag;
  };
  std::vector<Observed> Others;
  vtkObject* Watched;
  vtkSmartPointer<vtkOutputWindow> Previous;
  vtkSmartPointer<CapturingOutputWindow> Window;
  vtkSmartPointer<vtkCallbackCommand> Callback;
  int PreviousWarningDisplay = 1;
  unsigned long ErrorTag = 0;
  unsigned long WarningTag = 0;
};

// The readable part of a VTK message, on one line and with `path` replaced by "the file":
// "ERROR: In .../vtkDataReader.cxx, line 2329\nvtkPolyDataReader (0x...): Text for file: X"
// gives "Text".
std::string CleanVtkMessage(std::string text, const std::string& path);

} // namespace selvane::formats
