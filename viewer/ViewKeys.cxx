#include "ViewKeys.h"

#include <vtkCommand.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkRenderWindowInteractor.h>

namespace selvane {

namespace {

class CharFilter : public vtkCommand {
public:
  static CharFilter* New();
  vtkTypeMacro(CharFilter, vtkCommand);

  void Execute(vtkObject* caller, unsigned long, void*) override {
    auto* interactor = static_cast<vtkRenderWindowInteractor*>(caller);
    const char key = interactor->GetKeyCode();
    this->SetAbortFlag(key == 'r' || key == 'R' ? 0 : 1);
  }
};

vtkStandardNewMacro(CharFilter);

// Above the interactor style's own observers (priority 0).
constexpr float FilterPriority = 1.0f;

} // namespace

void KeepOnlyCameraResetKey(vtkRenderWindowInteractor* interactor) {
  if (!interactor)
    return;
  vtkNew<CharFilter> filter;
  interactor->AddObserver(vtkCommand::CharEvent, filter, FilterPriority);
}

} // namespace selvane
