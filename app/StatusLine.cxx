#include "StatusLine.h"

#include "MainDialog.h"
#include "vtkShapeTransform.h"

#include <QFileInfo>
#include <QLabel>
#include <QSlider>
#include <QStatusBar>
#include <vtkPolyData.h>

#include <cmath>

namespace selvane {

StatusLine::StatusLine(QStatusBar* bar, MainDialog& viewer)
    : QObject(bar), Viewer(viewer), Model(new QLabel(bar)), Note(new QLabel(bar)),
      Current(new QLabel(bar)), Fraction(new QLabel(bar)),
      Slider(new QSlider(Qt::Horizontal, bar)) {
  Model->setObjectName("statusModel");
  Current->setObjectName("statusCurrent");
  Fraction->setObjectName("statusFraction");
  for (QLabel* label : {Current, Fraction})
    label->setContentsMargins(12, 0, 4, 0);
  Note->setObjectName("statusNote");
  Note->setContentsMargins(12, 0, 4, 0);
  bar->addWidget(Model);
  bar->addWidget(Note, 1);
  bar->addPermanentWidget(Current);
  bar->addPermanentWidget(Fraction);
  Slider->setObjectName("deformationSlider");
  Slider->setRange(0, 100);
  Slider->setFixedWidth(120);
  Slider->setToolTip("Deformation shown, 0 to 100%");
  bar->addPermanentWidget(Slider);
  connect(Slider, &QSlider::valueChanged, this, [this](int percent) {
    if (!Refreshing)
      Viewer.ShowDeformation(static_cast<float>(percent) / 100.0f);
  });
  Refresh();
}

QString StatusLine::ModelText() const {
  vtkPolyData* model = Viewer.Model();
  if (!model)
    return "No model";
  // The file name as the user's file system spells it, without the folder.
  const QString name = QFileInfo(QFile::decodeName(Viewer.ModelFileName.c_str())).fileName();
  return QString("%1: %L2 points, %L3 cells")
      .arg(name)
      .arg(static_cast<qlonglong>(model->GetNumberOfPoints()))
      .arg(static_cast<qlonglong>(model->GetNumberOfCells()));
}

QString StatusLine::CurrentText() const {
  if (!Viewer.Model())
    return {};
  auto id = [](int v) { return v < 0 ? QString("none") : QString::number(v); };
  return QString("cell %1, point %2").arg(id(Viewer.CurrentCell), id(Viewer.CurrentPoint));
}

QString StatusLine::FractionText() const {
  if (!Viewer.Model())
    return {};
  return QString("deformation %1%")
      .arg(QString::number(100.0 * Viewer.ShapeTransform->GetFraction(), 'g', 4));
}

void StatusLine::ShowNote(const QString& text) {
  Note->setText(text);
}

QString StatusLine::NoteText() const {
  return Note->text();
}

void StatusLine::SetBusy(bool busy) {
  Busy = busy;
  Refresh();
}

void StatusLine::Refresh() {
  Model->setText(ModelText());
  Current->setText(CurrentText());
  Fraction->setText(FractionText());
  const bool fitted = Viewer.Model() && Viewer.ShapeTransform->GetParametersSet();
  Refreshing = true;
  Slider->setEnabled(fitted && !Busy);
  Slider->setValue(static_cast<int>(std::lround(100.0 * Viewer.ShapeTransform->GetFraction())));
  Refreshing = false;
}

} // namespace selvane
