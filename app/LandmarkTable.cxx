#include "LandmarkTable.h"

#include "MainDialog.h"
#include "QtWindowing.h"
#include "vtkShapeTransform.h"

#include <vtkPoints.h>

#include <QApplication>
#include <QHeaderView>
#include <QPalette>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <cmath>

namespace selvane {

namespace {

double Distance(const float a[3], const double b[3]) {
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

} // namespace

LandmarkTableModel::LandmarkTableModel(MainDialog& viewer, QObject* parent)
    : QAbstractTableModel(parent), Viewer(viewer),
      Rows(static_cast<int>(viewer.SelectedPoints().Size())) {}

int LandmarkTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Rows;
}

int LandmarkTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

int LandmarkTableModel::PointOf(int row) const {
  return static_cast<int>(SelectionList::IdOf(Viewer.SelectedPoints().Entry(row)));
}

QVariant LandmarkTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Rows)
    return {};
  const SelectionList& points = Viewer.SelectedPoints();
  const int row = index.row();
  const vtkIdType entry = points.Entry(row);
  const bool active = entry >= 0;
  const int id = PointOf(row);
  const PointMarker& marker = points.Markers()[row];
  const int column = index.column();

  if (role == Qt::ForegroundRole)
    return active ? QVariant() : QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
  if (role == Qt::CheckStateRole)
    return column == IdColumn ? QVariant(active ? Qt::Checked : Qt::Unchecked) : QVariant();
  if (role == Qt::TextAlignmentRole)
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole && role != Qt::EditRole && role != SortRole)
    return {};

  double value = 0;
  switch (column) {
  case IdColumn:
    return role == SortRole ? QVariant(id) : QVariant(QString::number(id));
  case XColumn:
  case YColumn:
  case ZColumn:
    value = marker.Position[column - XColumn];
    break;
  case TargetXColumn:
  case TargetYColumn:
  case TargetZColumn:
    value = marker.Target[column - TargetXColumn];
    break;
  case DistanceColumn: {
    const double position[3] = {marker.Position[0], marker.Position[1], marker.Position[2]};
    value = Distance(marker.Target, position);
    break;
  }
  case ResidualColumn: {
    // Where the fit takes the point at its full share, against the point's target.
    vtkShapeTransform* fit = Viewer.ShapeTransform;
    float d[3];
    if (!fit->GetParametersSet() || !Viewer.ModelPoints ||
        id >= Viewer.ModelPoints->GetNumberOfPoints() || !fit->GetDisplacement(id, d))
      return role == SortRole ? QVariant(-1.0) : QVariant();
    double deformed[3];
    Viewer.ModelPoints->GetPoint(id, deformed);
    for (int k = 0; k < 3; ++k)
      deformed[k] -= d[k];
    value = Distance(marker.Target, deformed);
    break;
  }
  default:
    return {};
  }
  if (role == SortRole)
    return value;
  return column == DistanceColumn || column == ResidualColumn
             ? QString::number(value, 'g', 4)
             : FormatCoordinate(static_cast<float>(value));
}

QVariant LandmarkTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole)
    return {};
  if (orientation == Qt::Vertical)
    return section + 1;
  static const char* const titles[ColumnCount] = {
      "Point", "X", "Y", "Z", "Target X", "Target Y", "Target Z", "Distance", "Residual after fit"};
  return section >= 0 && section < ColumnCount ? QVariant(titles[section]) : QVariant();
}

Qt::ItemFlags LandmarkTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (!index.isValid())
    return flags;
  if (index.column() == IdColumn)
    flags |= Qt::ItemIsUserCheckable;
  const bool active = index.row() < Rows && Viewer.SelectedPoints().Entry(index.row()) >= 0;
  if (active && index.column() >= TargetXColumn && index.column() <= TargetZColumn)
    flags |= Qt::ItemIsEditable;
  return flags;
}

bool LandmarkTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= Rows || (Busy && Busy()))
    return false;
  const int id = PointOf(index.row());
  const int column = index.column();
  if (column == IdColumn && role == Qt::CheckStateRole) {
    if (value.toInt() == Qt::Checked)
      Viewer.RestoreSelectedPoint(id);
    else
      Viewer.WithdrawSelectedPoint(id);
    Viewer.Render();
    return true;
  }
  if (role != Qt::EditRole || column < TargetXColumn || column > TargetZColumn)
    return false;
  // Numbers as the target fields read them: with a decimal point, whatever the locale.
  bool ok = false;
  const float typed = value.toString().trimmed().toFloat(&ok);
  if (!ok || !std::isfinite(typed))
    return false;
  const PointMarker& marker = Viewer.SelectedPoints().Markers()[index.row()];
  float target[3] = {marker.Target[0], marker.Target[1], marker.Target[2]};
  target[column - TargetXColumn] = typed;
  Viewer.SetSelectedPointTarget(id, target);
  Viewer.Render();
  return true;
}

void LandmarkTableModel::ListChanged(long long index) {
  const int size = static_cast<int>(Viewer.SelectedPoints().Size());
  if (index < 0) {
    beginResetModel();
    Rows = size;
    endResetModel();
    return;
  }
  if (size > Rows) {
    beginInsertRows(QModelIndex(), Rows, size - 1);
    Rows = size;
    endInsertRows();
  } else if (size < Rows) {
    beginRemoveRows(QModelIndex(), size, Rows - 1);
    Rows = size;
    endRemoveRows();
  }
  if (index < Rows)
    emit dataChanged(this->index(static_cast<int>(index), 0),
                     this->index(static_cast<int>(index), ColumnCount - 1));
}

void LandmarkTableModel::FitChanged() {
  if (Rows > 0)
    emit dataChanged(index(0, ResidualColumn), index(Rows - 1, ResidualColumn));
}

LandmarkDock::LandmarkDock(MainDialog& viewer, QWidget* parent)
    : QDockWidget("Landmarks", parent), Viewer(viewer) {
  setObjectName("LandmarkDock");
  Table = new LandmarkTableModel(viewer, this);
  Proxy = new QSortFilterProxyModel(this);
  Proxy->setSourceModel(Table);
  Proxy->setSortRole(LandmarkTableModel::SortRole);
  TableView = new QTableView(this);
  TableView->setModel(Proxy);
  TableView->setSelectionBehavior(QAbstractItemView::SelectRows);
  TableView->setSelectionMode(QAbstractItemView::SingleSelection);
  TableView->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
  TableView->verticalHeader()->setDefaultSectionSize(TableView->fontMetrics().height() + 6);
  TableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  // The list's own order until the user sorts by a column.
  TableView->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  TableView->setSortingEnabled(true);
  setWidget(TableView);
  connect(TableView, &QTableView::clicked, this, [this](const QModelIndex& index) {
    const int point = PointAt(index.row());
    if (point < 0 || (Table->Busy && Table->Busy()))
      return;
    Viewer.SetCurrentPoint(point);
    Viewer.Render();
  });
}

int LandmarkDock::PointAt(int viewRow) const {
  const QModelIndex source = Proxy->mapToSource(Proxy->index(viewRow, 0));
  return source.isValid() ? Table->PointOf(source.row()) : -1;
}

} // namespace selvane
