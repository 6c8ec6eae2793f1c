#pragma once

#include <QString>

class QWidget;

namespace selvane {

// Every key and mouse action of the view and the window, as an HTML table.
QString KeysAndMouseText();

// Help > Keys and mouse: a box with that table.
void ShowKeysAndMouse(QWidget* parent);

} // namespace selvane
