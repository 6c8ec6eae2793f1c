#include "KeysHelp.h"

#include <QMessageBox>

namespace selvane {

QString KeysAndMouseText() {
  static const char* const Rows[][2] = {
      {"Ctrl+Shift+left click in the view", "makes the cell under the mouse current"},
      {"Left / Right (view focused)", "previous / next point of the current cell"},
      {"Up / Down (view focused)",
       "crosses the edge before / after the current point into the neighbouring cell"},
      {"Space", "selects, withdraws or restores the current cell"},
      {"Ctrl+Space", "selects, withdraws or restores the current point with the typed target"},
      {"W", "keyboard focus to the view (its frame turns blue)"},
      {"X, Y, Z", "caret into the target X, Y or Z field with its text selected"},
      {"R (view focused)", "resets the camera to show the whole model"},
      {"Left drag in the view", "rotates the camera"},
      {"Shift+left drag or middle drag", "pans the camera"},
      {"Right drag or mouse wheel", "zooms the camera"},
      {"Ctrl+left drag", "spins the camera around the viewing direction"},
      {"Ctrl+O / Ctrl+S", "Open Model / Save Model As"},
      {"Alt+F4", "Exit"},
  };
  QString html = "<p>Keys act once a model is open.</p><table cellspacing=\"4\">";
  for (const auto& row : Rows)
    html += QString("<tr><td><b>%1</b></td><td>%2</td></tr>")
                .arg(QString(row[0]).toHtmlEscaped(), QString(row[1]).toHtmlEscaped());
  return html + "</table>";
}

void ShowKeysAndMouse(QWidget* parent) {
  QMessageBox box(QMessageBox::NoIcon, "Keys and mouse", KeysAndMouseText(), QMessageBox::Ok,
                  parent);
  box.setTextFormat(Qt::RichText);
  box.exec();
}

} // namespace selvane
