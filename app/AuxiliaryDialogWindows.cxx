#include "AuxiliaryDialogWindows.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvane {

namespace {

QString FloatText(float value) {
  return QString::number(value, 'g', 6);
}

// Reads a number field as the old dialog exchange did: on text that is not a number the
// user is told, and the caller stops reading further fields.
template <typename T> bool ReadField(QLineEdit* field, T& value, QWidget* parent) {
  bool ok = false;
  const QString text = field->text().trimmed();
  T read{};
  if constexpr (std::is_same_v<T, int>)
    read = text.toInt(&ok);
  else
    read = text.toFloat(&ok);
  if (!ok) {
    QMessageBox::warning(parent, parent->windowTitle(),
                         std::is_same_v<T, int> ? "Please enter an integer."
                                                : "Please enter a number.");
    return false;
  }
  value = read;
  return true;
}

QDialogButtonBox* OkCancel(QDialog* dialog, bool withCancel) {
  auto* buttons = new QDialogButtonBox(
      withCancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok, dialog);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::hide);
  return buttons;
}

} // namespace

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle("");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("  ", this));
  auto* name = new QLabel(QString("Selvane %1").arg(SELVANE_VERSION), this);
  name->setObjectName("aboutName");
  layout->addWidget(name);
  auto* buttons = OkCancel(this, false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::hide);
  layout->addWidget(buttons);
}

SetRadiusWindow::SetRadiusWindow(SetRadiusDialog& values, QWidget* parent)
    : QDialog(parent), Values(values), Radius(new QLineEdit(this)) {
  setWindowTitle("Set Radius");
  Radius->setObjectName("field1025");
  auto* layout = new QVBoxLayout(this);
  auto* row = new QFormLayout;
  auto* label = new QLabel("Set the radius of pointing sphere:", this);
  label->setWordWrap(true);
  row->addRow(label, Radius);
  layout->addLayout(row);
  auto* buttons = OkCancel(this, true);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOk(); });
  layout->addWidget(buttons);
  Refresh();
}

void SetRadiusWindow::Refresh() {
  Radius->setText(FloatText(Values.SphereRadius));
}

void SetRadiusWindow::OnOk() {
  ReadField(Radius, Values.SphereRadius, this);
  hide();
  if (Accepted)
    Accepted();
}

MakeTransformWindow::MakeTransformWindow(MakeTransformDialog& values, QWidget* parent)
    : QDialog(parent), Values(values), SupportRadius(new QLineEdit(this)),
      FrameCount(new QLineEdit(this)), CycleCount(new QLineEdit(this)),
      Suggestion(new QLabel(this)), UseSuggestion(new QPushButton("Use", this)) {
  setWindowTitle("Make Transform");
  SupportRadius->setObjectName("field1025");
  FrameCount->setObjectName("field1026");
  CycleCount->setObjectName("field1029");
  auto* layout = new QHBoxLayout(this);
  auto* fields = new QFormLayout;
  Suggestion->setObjectName("suggestedRadius");
  UseSuggestion->setObjectName("useSuggestedRadius");
  UseSuggestion->setAutoDefault(false);
  connect(UseSuggestion, &QPushButton::clicked, this,
          [this] { SupportRadius->setText(FloatText(Values.SuggestedRadius)); });
  auto* radiusRow = new QHBoxLayout;
  radiusRow->addWidget(SupportRadius);
  radiusRow->addWidget(Suggestion);
  radiusRow->addWidget(UseSuggestion);
  fields->addRow("Radius of support:", radiusRow);
  fields->addRow("Number of frames:", FrameCount);
  fields->addRow("Number of cycles:", CycleCount);
  layout->addLayout(fields);
  auto* buttons = OkCancel(this, true);
  buttons->setOrientation(Qt::Vertical);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOk(); });
  layout->addWidget(buttons, 0, Qt::AlignTop);
  Refresh();
}

void MakeTransformWindow::Refresh() {
  SupportRadius->setText(FloatText(Values.SupportRadius));
  FrameCount->setText(QString::number(Values.FrameCount));
  CycleCount->setText(QString::number(Values.CycleCount));
  const bool suggested = Values.SuggestedRadius > 0.0f;
  Suggestion->setText(suggested ? QString("suggested: %1").arg(FloatText(Values.SuggestedRadius))
                                : QString("suggested: after a first file"));
  Suggestion->setToolTip(
      suggested ? QString::fromStdString("A few spacings of the centres, at most half the model's "
                                         "size; " +
                                         Values.SuggestionNote + ".")
                : QString("Chosen from the spacing of the correspondences' sources and the "
                          "model's size once a file or the selected points were seen."));
  UseSuggestion->setEnabled(suggested);
}

void MakeTransformWindow::OnOk() {
  // Fields after one that is not a number keep their previous values.
  if (ReadField(SupportRadius, Values.SupportRadius, this) &&
      ReadField(FrameCount, Values.FrameCount, this))
    ReadField(CycleCount, Values.CycleCount, this);
  hide();
  if (Accepted)
    Accepted();
}

} // namespace selvane
