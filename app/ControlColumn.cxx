#include "ControlColumn.h"

#include "ControlIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QResizeEvent>

#include <algorithm>

namespace selvane {

namespace {

// Dialog units of the window's original layout, in pixels of its 8-point font.
QRect FromDialogUnits(int x, int y, int w, int h) {
  auto px = [](int units) { return units * 3 / 2; };
  auto py = [](int units) { return units * 13 / 8; };
  return QRect(px(x), py(y), px(w), py(h));
}

// The window's client height at its original size; the growing lists are sized against it.
constexpr int DesignHeight = 387;

} // namespace

ControlColumn::ControlColumn(QWidget* parent) : QWidget(parent) {
  setFixedWidth(ColumnWidth);
  QFont small = font();
  small.setPointSize(8);
  setFont(small);
  auto label = [this](const char* text, QRect where) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    // Labels may run up to the next column, so no font cuts them short.
    where.setWidth(
        std::max(where.width(), where.x() < 80 ? 80 - where.x() : ColumnWidth - where.x()));
    l->setGeometry(where);
  };
  auto list = [this](int id, bool sorted, QRect where) {
    auto* box = new QListWidget(this);
    box->setObjectName(QString("list%1").arg(id));
    box->setSortingEnabled(sorted);
    box->setSelectionMode(QAbstractItemView::SingleSelection);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setGeometry(where);
    Lists[id] = box;
  };
  auto field = [this](int id, bool readOnly, QRect where) {
    auto* edit = new QLineEdit(QStringLiteral("0"), this);
    edit->setObjectName(QString("field%1").arg(id));
    edit->setReadOnly(readOnly);
    edit->setEnabled(!readOnly);
    edit->setGeometry(where);
    Fields[id] = edit;
  };
  // Creation order is the tab order.
  label("Cell points", FromDialogUnits(2, 0, 33, 8));
  list(CellPointsList, false, FromDialogUnits(2, 9, 49, 38));
  label("Cell neighbors", FromDialogUnits(55, 0, 45, 8));
  list(CellNeighborsList, true, FromDialogUnits(55, 9, 49, 38));
  field(CurrentXField, true, FromDialogUnits(2, 50, 44, 13));
  label("X", FromDialogUnits(51, 52, 8, 8));
  field(TargetXField, false, FromDialogUnits(60, 50, 44, 13));
  field(CurrentYField, true, FromDialogUnits(2, 66, 44, 13));
  label("Y", FromDialogUnits(51, 68, 8, 8));
  field(TargetYField, false, FromDialogUnits(60, 66, 44, 13));
  field(CurrentZField, true, FromDialogUnits(2, 82, 44, 13));
  label("Z", FromDialogUnits(51, 84, 8, 8));
  field(TargetZField, false, FromDialogUnits(60, 82, 44, 13));
  label("Point cells", FromDialogUnits(56, 98, 33, 8));
  list(PointCellsList, true, FromDialogUnits(55, 107, 49, 41));
  label("Selected points", FromDialogUnits(2, 97, 50, 8));
  list(SelectedPointsList, true, FromDialogUnits(2, 107, 49, 130));
  label("Selected cells", FromDialogUnits(55, 150, 45, 8));
  list(SelectedCellsList, true, FromDialogUnits(55, 159, 49, 78));
  setMinimumHeight(300);
  resize(ColumnWidth, DesignHeight);
}

void ControlColumn::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The two selection lists reach down to the bottom of the window; nothing else moves.
  const int cy = event->size().height();
  QListWidget* points = Lists.at(SelectedPointsList);
  QListWidget* cells = Lists.at(SelectedCellsList);
  points->resize(points->width(), std::max(20, cy - 176));
  cells->resize(cells->width(), std::max(20, cy - 260));
}

} // namespace selvane
