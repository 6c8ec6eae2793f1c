#include "ControlColumn.h"

#include "ControlIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QResizeEvent>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace selvane {

namespace {

// The widest text a coordinate field shows: a sign and six significant digits with an
// exponent (the fields show numbers as printf's "%g" does).
const char* const WidestCoordinate = "-8.88888e-38";

// The original layout's pixels below the two growing lists at 96 dpi.
constexpr int SelectedPointsBottomGap = 176 - 173;
constexpr int SelectedCellsBottomGap = 260 - 258;

// Dialog units of the original layout; the left sub-column starts 2 units in, the right one
// 4 units after the left one ends, and 4 units of margin follow it.
constexpr int LeftStart = 2;
constexpr int ColumnGap = 4;
constexpr int RightMargin = 4;
// In the field rows the current field leaves 5 units for the axis label before the left
// sub-column ends, and the target field starts 5 units into the right one.
constexpr int FieldInset = 5;

int TextWidth(const QWidget* widget, const QString& text) {
  return widget->fontMetrics().horizontalAdvance(text);
}

// The width a line edit needs to show text whole: the text, the style's frame on both sides
// and the edit's own margin of 2 pixels each side.
int EditWidthFor(const QLineEdit* edit, const QString& text) {
  const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
  return TextWidth(edit, text) + 2 * frame + 4 + 2;
}

} // namespace

ControlColumn::ControlColumn(QWidget* parent) : QWidget(parent) {
  QFont small = font();
  small.setPointSize(8);
  setFont(small);
  // In quarter steps, so that the few dpi a display reports above 96 keep the original pixels.
  Scale = std::max(1.0, std::round(logicalDpiY() / 96.0 * 4) / 4);

  auto label = [this](const char* text, int column, int x, int y, int w) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    Place(l, column, x, y, w, 8, false);
    return l;
  };
  auto list = [this](int id, bool sorted, int column, int y, int h, int bottomGap = 0) {
    auto* box = new QListWidget(this);
    box->setObjectName(QString("list%1").arg(id));
    box->setSortingEnabled(sorted);
    box->setSelectionMode(QAbstractItemView::SingleSelection);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Place(box, column, 0, y, 49, h, true, bottomGap);
    Lists[id] = box;
  };
  auto field = [this](int id, bool current, int y) {
    auto* edit = new QLineEdit(QStringLiteral("0"), this);
    edit->setObjectName(QString("field%1").arg(id));
    if (current) {
      // Read-only but selectable and copyable; greyed like a disabled field, and left out of
      // the tab order as a disabled field is.
      edit->setReadOnly(true);
      edit->setFocusPolicy(Qt::ClickFocus);
      QPalette greyed = edit->palette();
      greyed.setBrush(QPalette::Active, QPalette::Text,
                      greyed.brush(QPalette::Disabled, QPalette::Text));
      greyed.setBrush(QPalette::Inactive, QPalette::Text,
                      greyed.brush(QPalette::Disabled, QPalette::Text));
      greyed.setBrush(QPalette::Active, QPalette::Base,
                      greyed.brush(QPalette::Disabled, QPalette::Base));
      greyed.setBrush(QPalette::Inactive, QPalette::Base,
                      greyed.brush(QPalette::Disabled, QPalette::Base));
      edit->setPalette(greyed);
    }
    Place(edit, current ? 0 : 1, current ? 0 : FieldInset, y, 44, 13);
    Fields[id] = edit;
  };
  // Creation order is the tab order.
  label("Cell points", 0, 0, 0, 33);
  list(CellPointsList, false, 0, 9, 38);
  label("Cell neighbors", 1, 0, 0, 45);
  list(CellNeighborsList, true, 1, 9, 38);
  const int rows[3] = {50, 66, 82};
  const int ids[3][2] = {
      {CurrentXField, TargetXField}, {CurrentYField, TargetYField}, {CurrentZField, TargetZField}};
  const char* const axes[3] = {"X", "Y", "Z"};
  for (int r = 0; r < 3; ++r) {
    field(ids[r][0], true, rows[r]);
    // The axis label stands in the left sub-column's last units, right of the current field.
    label(axes[r], 0, -FieldInset, rows[r] + 2, 8);
    field(ids[r][1], false, rows[r]);
  }
  label("Point cells", 1, 1, 98, 33);
  list(PointCellsList, true, 1, 107, 41);
  label("Selected points", 0, 0, 97, 50);
  list(SelectedPointsList, true, 0, 107, 130, SelectedPointsBottomGap);
  label("Selected cells", 1, 0, 150, 45);
  list(SelectedCellsList, true, 1, 159, 78, SelectedCellsBottomGap);

  // Each sub-column is at least as wide as the original units, its labels' texts and a field
  // that shows the widest coordinate whole (with its inset).
  const int fieldWidth = std::max(Px(44), EditWidthFor(Fields.at(TargetXField), WidestCoordinate));
  for (int c = 0; c < 2; ++c)
    SubColumn[c] = std::max(Px(49), fieldWidth + Px(FieldInset));
  for (const Placed& p : Layout)
    if (auto* l = qobject_cast<QLabel*>(p.Widget); l && p.X >= 0)
      SubColumn[p.Column] = std::max(SubColumn[p.Column], Px(p.X) + TextWidth(l, l->text()) + 2);

  setMinimumSize(minimumSizeHint());
  resize(sizeHint());
}

int ControlColumn::Px(int units) const {
  return static_cast<int>(std::floor(units * 3 * Scale / 2));
}

int ControlColumn::Py(int units) const {
  return static_cast<int>(std::floor(units * 13 * Scale / 8));
}

int ControlColumn::MinimumWidth() const {
  return Px(LeftStart) + SubColumn[0] + Px(ColumnGap) + SubColumn[1] + Px(RightMargin);
}

QSize ControlColumn::minimumSizeHint() const {
  return QSize(MinimumWidth(), static_cast<int>(300 * Scale));
}

QSize ControlColumn::sizeHint() const {
  return QSize(MinimumWidth(), static_cast<int>(387 * Scale));
}

void ControlColumn::Place(QWidget* widget, int column, int x, int y, int w, int h, bool growsWide,
                          int bottomGap) {
  Layout.push_back({widget, column, x, y, w, h, growsWide, bottomGap});
}

void ControlColumn::Arrange(int width, int height) {
  // Extra width beyond the minimum goes half to each sub-column.
  const int extra = std::max(0, width - MinimumWidth());
  const int wide[2] = {SubColumn[0] + extra / 2, SubColumn[1] + extra - extra / 2};
  const int start[2] = {Px(LeftStart), Px(LeftStart) + wide[0] + Px(ColumnGap)};
  for (const Placed& p : Layout) {
    const int lineHeight = p.Widget->fontMetrics().height();
    int h = std::max(Py(p.H), qobject_cast<QLabel*>(p.Widget) ? lineHeight : 0);
    const int y = Py(p.Y);
    if (p.BottomGap > 0)
      h = std::max(20, height - y - static_cast<int>(std::lround(p.BottomGap * Scale)));
    int x = start[p.Column] + (p.X >= 0 ? Px(p.X) : wide[p.Column] + Px(p.X));
    int w = p.GrowsWide ? wide[p.Column] - Px(p.X) : Px(p.W);
    if (auto* l = qobject_cast<QLabel*>(p.Widget))
      w = std::max(w, TextWidth(l, l->text()) + 2);
    if (p.X < 0) // the axis labels: centred in their units
      x = start[p.Column] + wide[p.Column] - Px(-p.X) + Px(1);
    if (qobject_cast<QLineEdit*>(p.Widget))
      w = wide[p.Column] - Px(FieldInset);
    p.Widget->setGeometry(x, y, w, h);
  }
}

void ControlColumn::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Arrange(event->size().width(), event->size().height());
}

} // namespace selvane
