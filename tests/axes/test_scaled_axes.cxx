// vtkScaledAxes on VTK 9: output, properties, pipeline re-execution, PrintSelf, IsA.
#include "vtkScaledAxes.h"

#include <gtest/gtest.h>

#include <vtkCallbackCommand.h>
#include <vtkCellArray.h>
#include <vtkCommand.h>
#include <vtkDataArray.h>
#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkObjectFactory.h>
#include <vtkOutputWindow.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

void ExpectAxesOutput(vtkPolyData* out, const double pts[6][3]) {
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->GetNumberOfPoints(), 6);
  for (int i = 0; i < 6; ++i) {
    double p[3];
    out->GetPoint(i, p);
    for (int c = 0; c < 3; ++c) {
      EXPECT_FLOAT_EQ(static_cast<float>(p[c]), static_cast<float>(pts[i][c]))
          << "point " << i << " component " << c;
    }
  }
  // Three lines (0,1), (2,3), (4,5), nothing else.
  EXPECT_EQ(out->GetNumberOfLines(), 3);
  EXPECT_EQ(out->GetNumberOfVerts(), 0);
  EXPECT_EQ(out->GetNumberOfPolys(), 0);
  EXPECT_EQ(out->GetNumberOfStrips(), 0);
  vtkCellArray* lines = out->GetLines();
  auto ids = vtkSmartPointer<vtkIdList>::New();
  lines->InitTraversal();
  for (int l = 0; l < 3; ++l) {
    ASSERT_TRUE(lines->GetNextCell(ids));
    ASSERT_EQ(ids->GetNumberOfIds(), 2);
    EXPECT_EQ(ids->GetId(0), 2 * l);
    EXPECT_EQ(ids->GetId(1), 2 * l + 1);
  }
  // Scalars "Axes": 0, 0, 0.25, 0.25, 0.5, 0.5, as a float array.
  vtkDataArray* scalars = out->GetPointData()->GetScalars();
  ASSERT_NE(scalars, nullptr);
  EXPECT_STREQ(scalars->GetName(), "Axes");
  EXPECT_NE(vtkFloatArray::SafeDownCast(scalars), nullptr);
  ASSERT_EQ(scalars->GetNumberOfTuples(), 6);
  ASSERT_EQ(scalars->GetNumberOfComponents(), 1);
  const double sv[6] = {0.0, 0.0, 0.25, 0.25, 0.5, 0.5};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(scalars->GetComponent(i, 0), sv[i]) << i;
  }
  // Normals "Normals": (0,1,0) for x, (0,0,1) for y, (1,0,0) for z.
  vtkDataArray* normals = out->GetPointData()->GetNormals();
  ASSERT_NE(normals, nullptr);
  EXPECT_STREQ(normals->GetName(), "Normals");
  EXPECT_NE(vtkFloatArray::SafeDownCast(normals), nullptr);
  ASSERT_EQ(normals->GetNumberOfTuples(), 6);
  ASSERT_EQ(normals->GetNumberOfComponents(), 3);
  const double nv[3][3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
  for (int i = 0; i < 6; ++i) {
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(normals->GetComponent(i, c), nv[i / 2][c]) << i << "," << c;
    }
  }
  // Exactly these two point arrays.
  EXPECT_EQ(out->GetPointData()->GetNumberOfArrays(), 2);
}

// Counts the executions of the algorithm (the pipeline fires StartEvent before RequestData).
void CountExecutions(vtkScaledAxes* axes, vtkSmartPointer<vtkCallbackCommand>& cb, int& counter) {
  cb = vtkSmartPointer<vtkCallbackCommand>::New();
  cb->SetClientData(&counter);
  cb->SetCallback(
      [](vtkObject*, unsigned long, void* client, void*) { ++*static_cast<int*>(client); });
  axes->AddObserver(vtkCommand::StartEvent, cb);
}

} // namespace

TEST(ScaledAxes, DefaultsAndOutput) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  EXPECT_EQ(axes->GetNumberOfInputPorts(), 0);
  EXPECT_EQ(axes->GetNumberOfOutputPorts(), 1);
  const float* o = axes->GetOrigin();
  const float* s = axes->GetScaleFactor();
  EXPECT_EQ(o[0], 0.0f);
  EXPECT_EQ(o[1], 0.0f);
  EXPECT_EQ(o[2], 0.0f);
  EXPECT_EQ(s[0], 1.0f);
  EXPECT_EQ(s[1], 1.0f);
  EXPECT_EQ(s[2], 1.0f);
  EXPECT_EQ(axes->GetSymmetric(), 0);
  axes->Update();
  const double pts[6][3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {0, 0, 0}, {0, 0, 1}};
  ExpectAxesOutput(axes->GetOutput(), pts);
}

TEST(ScaledAxes, OriginAndPerAxisLengths) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  axes->SetOrigin(1.0f, -2.0f, 3.0f);
  const float sf[3] = {5.0f, 2.0f, 0.5f};
  axes->SetScaleFactor(sf);
  axes->Update();
  const double pts[6][3] = {{1, -2, 3}, {6, -2, 3}, {1, -2, 3},
                            {1, 0, 3},  {1, -2, 3}, {1, -2, 3.5}};
  ExpectAxesOutput(axes->GetOutput(), pts);
}

TEST(ScaledAxes, Symmetric) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  axes->SetScaleFactor(2.0f, 3.0f, 4.0f);
  axes->SymmetricOn();
  EXPECT_EQ(axes->GetSymmetric(), 1);
  axes->Update();
  const double pts[6][3] = {{-2, 0, 0}, {2, 0, 0}, {0, -3, 0}, {0, 3, 0}, {0, 0, -4}, {0, 0, 4}};
  ExpectAxesOutput(axes->GetOutput(), pts);

  // Any non-zero value counts as symmetric; off again gives the one-sided axes.
  axes->SetSymmetric(7);
  axes->SetOrigin(1.0f, 1.0f, 1.0f);
  axes->Update();
  const double pts7[6][3] = {{-1, 1, 1}, {3, 1, 1}, {1, -2, 1}, {1, 4, 1}, {1, 1, -3}, {1, 1, 5}};
  ExpectAxesOutput(axes->GetOutput(), pts7);
  axes->SymmetricOff();
  axes->Update();
  const double pts0[6][3] = {{1, 1, 1}, {3, 1, 1}, {1, 1, 1}, {1, 4, 1}, {1, 1, 1}, {1, 1, 5}};
  ExpectAxesOutput(axes->GetOutput(), pts0);
}

TEST(ScaledAxes, ZeroLengthAxes) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  axes->SetOrigin(0.5f, 1.5f, -2.5f);
  axes->SetScaleFactor(0.0f, 0.0f, 0.0f);
  axes->Update();
  double pts[6][3];
  for (auto& p : pts) {
    p[0] = 0.5;
    p[1] = 1.5;
    p[2] = -2.5;
  }
  ExpectAxesOutput(axes->GetOutput(), pts);
  // Symmetric does not change zero-length axes either.
  axes->SymmetricOn();
  axes->Update();
  ExpectAxesOutput(axes->GetOutput(), pts);
}

TEST(ScaledAxes, NegativeLengthsGiveReversedAxes) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  axes->SetScaleFactor(-1.0f, -2.0f, -3.0f);
  axes->Update();
  const double pts[6][3] = {{0, 0, 0}, {-1, 0, 0}, {0, 0, 0}, {0, -2, 0}, {0, 0, 0}, {0, 0, -3}};
  ExpectAxesOutput(axes->GetOutput(), pts);
}

TEST(ScaledAxes, UnchangedValuesDoNotReExecute) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  int executions = 0;
  vtkSmartPointer<vtkCallbackCommand> cb;
  CountExecutions(axes, cb, executions);
  axes->SetOrigin(1.0f, 2.0f, 3.0f);
  axes->SetScaleFactor(4.0f, 5.0f, 6.0f);
  axes->SymmetricOn();
  axes->Update();
  ASSERT_EQ(executions, 1);
  const vtkMTimeType mtime = axes->GetMTime();
  const vtkMTimeType outTime = axes->GetOutput()->GetMTime();

  // Every form of every setter, with the stored values.
  axes->SetOrigin(1.0f, 2.0f, 3.0f);
  const float o[3] = {1.0f, 2.0f, 3.0f};
  axes->SetOrigin(o);
  axes->SetScaleFactor(4.0f, 5.0f, 6.0f);
  const float s[3] = {4.0f, 5.0f, 6.0f};
  axes->SetScaleFactor(s);
  axes->SetSymmetric(1);
  axes->SymmetricOn();
  EXPECT_EQ(axes->GetMTime(), mtime);
  axes->Update();
  EXPECT_EQ(executions, 1);
  EXPECT_EQ(axes->GetOutput()->GetMTime(), outTime);
  axes->Update();
  EXPECT_EQ(executions, 1);

  // A change of a single component of any property re-executes once.
  axes->SetOrigin(1.0f, 2.0f, 3.5f);
  axes->Update();
  EXPECT_EQ(executions, 2);
  EXPECT_FLOAT_EQ(static_cast<float>(axes->GetOutput()->GetPoint(5)[2]), 9.5f);
  axes->SetScaleFactor(4.0f, 5.5f, 6.0f);
  axes->Update();
  EXPECT_EQ(executions, 3);
  axes->SymmetricOff();
  axes->Update();
  EXPECT_EQ(executions, 4);
  EXPECT_FLOAT_EQ(static_cast<float>(axes->GetOutput()->GetPoint(0)[0]), 1.0f);
}

TEST(ScaledAxes, GetVectorForms) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  axes->SetOrigin(1.0f, 2.0f, 3.0f);
  axes->SetScaleFactor(4.0f, 5.0f, 6.0f);
  float o[3] = {0, 0, 0}, s[3] = {0, 0, 0};
  axes->GetOrigin(o);
  axes->GetScaleFactor(s);
  EXPECT_EQ(o[0], 1.0f);
  EXPECT_EQ(o[1], 2.0f);
  EXPECT_EQ(o[2], 3.0f);
  EXPECT_EQ(s[0], 4.0f);
  EXPECT_EQ(s[1], 5.0f);
  EXPECT_EQ(s[2], 6.0f);
  // The address form returns the stored values themselves.
  EXPECT_EQ(axes->GetOrigin()[1], 2.0f);
  EXPECT_EQ(axes->GetScaleFactor()[2], 6.0f);
}

TEST(ScaledAxes, PrintSelfEndsWithTheThreeLines) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  std::ostringstream os;
  axes->PrintSelf(os, vtkIndent(0));
  const std::string text = os.str();
  const std::string tail = "Origin: (0, 0, 0)\nScale Factor: (1, 1, 1)\nSymmetric: 0\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  // The superclass part comes first.
  EXPECT_NE(text.find("AbortExecute"), std::string::npos) << text;
  EXPECT_EQ(text.find("Origin"), text.size() - tail.size());

  // With an indent, each of the three lines begins with it; floats use default formatting.
  axes->SetOrigin(-1.5f, 0.25f, 2.0f);
  axes->SetScaleFactor(3.0f, 4.5f, 1e-3f);
  axes->SymmetricOn();
  std::ostringstream os2;
  axes->PrintSelf(os2, vtkIndent(4));
  const std::string text2 = os2.str();
  const std::string tail2 = "    Origin: (-1.5, 0.25, 2)\n    Scale Factor: (3, 4.5, 0.001)\n"
                            "    Symmetric: 1\n";
  ASSERT_GE(text2.size(), tail2.size());
  EXPECT_EQ(text2.substr(text2.size() - tail2.size()), tail2);
}

TEST(ScaledAxes, ClassNameAndIsAFollowVtk9) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  EXPECT_STREQ(axes->GetClassName(), "vtkScaledAxes");
  EXPECT_TRUE(axes->IsA("vtkScaledAxes"));
  EXPECT_TRUE(axes->IsA("vtkPolyDataAlgorithm"));
  EXPECT_TRUE(axes->IsA("vtkAlgorithm"));
  EXPECT_TRUE(axes->IsA("vtkObject"));
  EXPECT_TRUE(axes->IsA("vtkObjectBase"));
  // VTK 4 names do not exist in VTK 9's hierarchy.
  EXPECT_FALSE(axes->IsA("vtkPolyDataSource"));
  EXPECT_FALSE(axes->IsA("vtkSource"));
  EXPECT_FALSE(axes->IsA("vtkProcessObject"));
  EXPECT_FALSE(axes->IsA("vtkAxes"));
  EXPECT_TRUE(vtkScaledAxes::IsTypeOf("vtkPolyDataAlgorithm"));
  EXPECT_EQ(vtkScaledAxes::SafeDownCast(axes.GetPointer()), axes.GetPointer());
  vtkPolyDataAlgorithm* base = axes;
  EXPECT_EQ(vtkScaledAxes::SafeDownCast(base), axes.GetPointer());
}

// New() asks the object factory first.
namespace {
class vtkScaledAxesOverride : public vtkScaledAxes {
public:
  static vtkScaledAxesOverride* New() {
    auto* o = new vtkScaledAxesOverride;
    o->InitializeObjectBase();
    return o;
  }
  vtkTypeMacro(vtkScaledAxesOverride, vtkScaledAxes);
};

vtkObject* CreateOverride() {
  return vtkScaledAxesOverride::New();
}

class TestFactory : public vtkObjectFactory {
public:
  static TestFactory* New() {
    auto* f = new TestFactory;
    f->InitializeObjectBase();
    return f;
  }
  vtkTypeMacro(TestFactory, vtkObjectFactory);
  const char* GetVTKSourceVersion() override { return VTK_SOURCE_VERSION; }
  const char* GetDescription() override { return "selvane test factory"; }

protected:
  TestFactory() {
    this->RegisterOverride("vtkScaledAxes", "vtkScaledAxesOverride", "test override", 1,
                           CreateOverride);
  }
};
} // namespace

TEST(ScaledAxes, NewAsksTheObjectFactory) {
  auto factory = vtkSmartPointer<TestFactory>::New();
  vtkObjectFactory::RegisterFactory(factory);
  auto a = vtkSmartPointer<vtkScaledAxes>::Take(vtkScaledAxes::New());
  EXPECT_STREQ(a->GetClassName(), "vtkScaledAxesOverride");
  vtkObjectFactory::UnRegisterFactory(factory);
  auto b = vtkSmartPointer<vtkScaledAxes>::Take(vtkScaledAxes::New());
  EXPECT_STREQ(b->GetClassName(), "vtkScaledAxes");
}

// Debug messages: the execution's "Creating x-y-z axes" and the setters' standard texts.
namespace {
class CaptureWindow : public vtkOutputWindow {
public:
  static CaptureWindow* New() {
    auto* w = new CaptureWindow;
    w->InitializeObjectBase();
    return w;
  }
  vtkTypeMacro(CaptureWindow, vtkOutputWindow);
  void DisplayText(const char* t) override { this->Text += t; }
  std::string Text;
};
} // namespace

TEST(ScaledAxes, DebugMessages) {
#ifdef NDEBUG
  GTEST_SKIP() << "VTK's debug macros are compiled out with NDEBUG (release builds)";
#endif
  auto window = vtkSmartPointer<CaptureWindow>::New();
  vtkOutputWindow* previous = vtkOutputWindow::GetInstance();
  previous->Register(nullptr);
  vtkOutputWindow::SetInstance(window);
  const int oldDisplay = vtkObject::GetGlobalWarningDisplay();
  vtkObject::GlobalWarningDisplayOn();

  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  axes->DebugOn();
  axes->SetOrigin(1.0f, 2.0f, 3.0f);
  axes->Update();

  vtkOutputWindow::SetInstance(previous);
  previous->UnRegister(nullptr);
  vtkObject::SetGlobalWarningDisplay(oldDisplay);

  EXPECT_NE(window->Text.find("Creating x-y-z axes"), std::string::npos) << window->Text;
  EXPECT_NE(window->Text.find("vtkScaledAxes"), std::string::npos) << window->Text;
  EXPECT_NE(window->Text.find("Origin to (1,2,3)"), std::string::npos) << window->Text;
}
