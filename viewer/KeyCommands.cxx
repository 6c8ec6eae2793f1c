#include "MainDialog.h"

#include "ControlIds.h"

namespace selvane {

bool MainDialog::InterceptsKey(Key key, bool viewFocused) const {
  if (NoModel)
    return false;
  switch (key) {
  case Key::Space:
  case Key::W:
  case Key::X:
  case Key::Y:
  case Key::Z:
    return true;
  case Key::Left:
  case Key::Up:
  case Key::Right:
  case Key::Down:
    // The arrows walk the mesh only while the view has the focus; elsewhere they move
    // the focused list box's selection.
    return viewFocused;
  case Key::Other:
    break;
  }
  return false;
}

void MainDialog::OnKeyDown(Key key) {
  switch (key) {
  case Key::Space:
    if (Walk.IsCtrlDown())
      ToggleCurrentPoint();
    else
      ToggleCurrentCell();
    break;
  case Key::Left:
    PreviousPointInCell();
    break;
  case Key::Up:
    CrossBackwardEdge();
    break;
  case Key::Right:
    NextPointInCell();
    break;
  case Key::Down:
    CrossForwardEdge();
    break;
  case Key::W:
    Windowing.SetFocusTo(RenderHostControl);
    break;
  case Key::X:
  case Key::Y:
  case Key::Z: {
    const int field = key == Key::X ? TargetXField : key == Key::Y ? TargetYField : TargetZField;
    Windowing.SetFocusTo(field);
    Windowing.SelectAllText(field);
    break;
  }
  case Key::Other:
    break;
  }
  Render();
}

} // namespace selvane
