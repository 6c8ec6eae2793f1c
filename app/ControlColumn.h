#pragma once

#include <QWidget>

#include <map>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;

namespace selvane {

// The column of inspection and selection controls left of the 3-D view, in the arrangement of
// the window's original dialog: two sub-columns of lists, the current and target coordinate
// fields between them, the selected-points and selected-cells lists growing with the height.
// Sizes follow the font: at 96 dpi the original dialog units, larger with larger fonts, and
// never narrower than the texts they show. Made wider (the window's splitter), both
// sub-columns share the extra width.
class ControlColumn : public QWidget {
  Q_OBJECT
public:
  explicit ControlColumn(QWidget* parent = nullptr);

  QListWidget* ListBox(int id) const { return Lists.at(id); }
  QLineEdit* Field(int id) const { return Fields.at(id); }
  const std::map<int, QListWidget*>& ListBoxes() const { return Lists; }

  // The width at 96 dpi when every text fits the original dialog units.
  static constexpr int ColumnWidth = 162;

  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  struct Placed {
    QWidget* Widget;
    int Column;     // 0: left sub-column, 1: right
    int X, Y, W, H; // dialog units, x relative to the sub-column's start
    bool GrowsWide; // takes the sub-column's extra width
    int BottomGap;  // > 0: reaches down to this many pixels (96 dpi) above the bottom
  };
  void Place(QWidget* widget, int column, int x, int y, int w, int h, bool growsWide = true,
             int bottomGap = 0);
  void Arrange(int width, int height);
  int Px(int units) const;
  int Py(int units) const;
  int MinimumWidth() const;

  std::map<int, QListWidget*> Lists;
  std::map<int, QLineEdit*> Fields;
  std::vector<Placed> Layout;
  double Scale = 1.0;    // the font's resolution against 96 dpi
  int SubColumn[2] = {}; // the narrowest width of each sub-column that fits its texts
};

} // namespace selvane
