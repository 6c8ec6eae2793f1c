#pragma once

#include <QAbstractTableModel>
#include <QDockWidget>

#include <functional>

class QSortFilterProxyModel;
class QTableView;

namespace selvane {

class MainDialog;

// The selected points as a table, one row per entry of the list in list order: the point's ID
// (checked while active; unchecking withdraws it, checking restores it), its position, its
// target (editable: a typed target goes through the viewer as a re-selection with that target
// does), the distance from position to target, and after a Transform the residual of the fit
// there: how far the fully deformed point lies from its target. Withdrawn entries are greyed.
// The model reads the viewer's list and follows its change notifications; it writes nothing
// but through the viewer's operations.
class LandmarkTableModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum Column {
    IdColumn,
    XColumn,
    YColumn,
    ZColumn,
    TargetXColumn,
    TargetYColumn,
    TargetZColumn,
    DistanceColumn,
    ResidualColumn,
    ColumnCount
  };
  // The role the proxy sorts by: numbers, not their texts.
  static constexpr int SortRole = Qt::UserRole;

  explicit LandmarkTableModel(MainDialog& viewer, QObject* parent = nullptr);

  // While it answers true, edits are refused (work runs that the selections must wait for).
  std::function<bool()> Busy;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  // Follows a change of the list: entry index changed, was appended or removed from the end;
  // -1: the whole list.
  void ListChanged(long long index);
  // Follows a change of the fit: the residual column is computed anew.
  void FitChanged();
  // The point ID of a row.
  int PointOf(int row) const;

private:
  MainDialog& Viewer;
  int Rows = 0;
};

// The dockable window around the table: sortable by any column, a click on a row makes its
// point current.
class LandmarkDock : public QDockWidget {
  Q_OBJECT
public:
  LandmarkDock(MainDialog& viewer, QWidget* parent = nullptr);
  LandmarkTableModel* Model() const { return Table; }
  QSortFilterProxyModel* Sorted() const { return Proxy; }
  QTableView* View() const { return TableView; }
  // The ID of the point a row of the view shows.
  int PointAt(int viewRow) const;

private:
  MainDialog& Viewer;
  LandmarkTableModel* Table;
  QSortFilterProxyModel* Proxy;
  QTableView* TableView;
};

} // namespace selvane
