#pragma once

#include <QWidget>

#include <map>

class QLineEdit;
class QListWidget;

namespace selvane {

// The narrow column of inspection and selection controls left of the 3-D view. Controls
// keep fixed places; the selected-points and selected-cells lists grow with the height.
class ControlColumn : public QWidget {
  Q_OBJECT
public:
  explicit ControlColumn(QWidget* parent = nullptr);

  QListWidget* ListBox(int id) const { return Lists.at(id); }
  QLineEdit* Field(int id) const { return Fields.at(id); }
  const std::map<int, QListWidget*>& ListBoxes() const { return Lists; }

  static constexpr int ColumnWidth = 162;

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  std::map<int, QListWidget*> Lists;
  std::map<int, QLineEdit*> Fields;
};

} // namespace selvane
