// vtkShapeTransform on hand-made fits (known coefficients) and on fits from files.
#include "Locales.h"
#include "ShapeFit.h"
#include "TestMeshes.h"
#include "vtkShapeTransform.h"

#include <gtest/gtest.h>

#include <vtkFloatArray.h>
#include <vtkIntArray.h>
#include <vtkNew.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkTransformPolyDataFilter.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

using namespace selvane;

namespace {

// A fit with the given centres, radial weights (one xyz triple per centre, rows in reverse
// order of the point ids, to exercise the row index) and linear part (per axis d0..d3).
struct HandFit {
  vtkSmartPointer<vtkPoints> Centres = vtkSmartPointer<vtkPoints>::New();
  vtkSmartPointer<vtkFloatArray> Coeff[3];
  vtkSmartPointer<vtkIntArray> UnList = vtkSmartPointer<vtkIntArray>::New();
  vtkSmartPointer<vtkPointLocator> Tree = vtkSmartPointer<vtkPointLocator>::New();
  vtkSmartPointer<vtkPolyData> Data = vtkSmartPointer<vtkPolyData>::New();

  HandFit(const std::vector<std::array<double, 3>>& centres,
          const std::vector<std::array<double, 3>>& weights, const double linear[3][4]) {
    const int n = static_cast<int>(centres.size());
    for (const auto& c : centres)
      Centres->InsertNextPoint(c.data());
    UnList->SetNumberOfValues(n);
    for (int a = 0; a < 3; ++a) {
      Coeff[a] = vtkSmartPointer<vtkFloatArray>::New();
      Coeff[a]->SetNumberOfValues(n + 4);
      for (int j = 0; j < n; ++j)
        Coeff[a]->SetValue(n - 1 - j, static_cast<float>(weights[j][a]));
      for (int k = 0; k < 4; ++k)
        Coeff[a]->SetValue(n + k, static_cast<float>(linear[a][k]));
    }
    for (int j = 0; j < n; ++j)
      UnList->SetValue(j, n - 1 - j);
    Data->SetPoints(Centres);
    Tree->SetDataSet(Data);
    Tree->BuildLocator();
  }
  bool Apply(vtkShapeTransform* t, float radius) {
    return t->SetParameters(radius, Centres, Coeff[0], Coeff[1], Coeff[2], UnList, Tree);
  }
};

const double NoLinear[3][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};

vtkSmartPointer<vtkPoints> RandomPoints(int n, double lo, double hi, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> u(lo, hi);
  auto points = vtkSmartPointer<vtkPoints>::New();
  for (int i = 0; i < n; ++i)
    points->InsertNextPoint(u(random), u(random), u(random));
  return points;
}

vtkSmartPointer<vtkPoints> Transformed(vtkShapeTransform* t, vtkPoints* in) {
  auto out = vtkSmartPointer<vtkPoints>::New();
  t->TransformPoints(in, out);
  return out;
}

bool SameBits(vtkPoints* a, vtkPoints* b) {
  if (a->GetNumberOfPoints() != b->GetNumberOfPoints())
    return false;
  return std::memcmp(a->GetVoidPointer(0), b->GetVoidPointer(0),
                     static_cast<size_t>(a->GetNumberOfPoints()) * 3 * sizeof(float)) == 0;
}

TEST(ShapeTransformTest, IdentityBeforeParametersCopiesPointsAndNormals) {
  vtkNew<vtkShapeTransform> t;
  EXPECT_EQ(t->GetState(), vtkShapeTransform::Identity);
  auto in = RandomPoints(100, -5, 5, 1);
  in->SetPoint(0, -0.0, 0.0, -0.0);
  vtkNew<vtkPoints> out;
  vtkNew<vtkFloatArray> normals, outNormals;
  normals->SetNumberOfComponents(3);
  for (int i = 0; i < 100; ++i)
    normals->InsertNextTuple3(0, 0, 1);
  outNormals->SetNumberOfComponents(3);
  t->SetFraction(1.0f);
  t->TransformPointsNormalsVectors(in, out, normals, outNormals, nullptr, nullptr);
  EXPECT_TRUE(SameBits(in, out));
  ASSERT_EQ(outNormals->GetNumberOfTuples(), 100);
  EXPECT_EQ(outNormals->GetTuple3(42)[2], 1.0);
  EXPECT_EQ(t->GetCacheFills(), 0);
  // MakeTransform gives a new transform of the same kind; the single-point path is the
  // identity too.
  vtkSmartPointer<vtkAbstractTransform> other;
  other.TakeReference(t->MakeTransform());
  EXPECT_TRUE(other->IsA("vtkShapeTransform"));
  double p[3] = {1, 2, 3};
  t->TransformPoint(p, p);
  EXPECT_EQ(p[0], 1);
  EXPECT_EQ(p[2], 3);
}

TEST(ShapeTransformTest, RadialWeightsAffinePartAndReach) {
  // One centre at the origin, R = 1, weight (2, 0, 0), linear part x: 0.5 + 0.25 x.
  const double linear[3][4] = {{0.5, 0.25, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
  HandFit fit({{0, 0, 0}}, {{2, 0, 0}}, linear);
  vtkNew<vtkShapeTransform> t;
  ASSERT_TRUE(fit.Apply(t, 1.0f));
  t->SetFraction(1.0f);
  vtkNew<vtkPoints> in;
  in->InsertNextPoint(0, 0, 0);   // on the centre: w = 1
  in->InsertNextPoint(0.5, 0, 0); // w = 0.25
  in->InsertNextPoint(3, 0, 0);   // out of reach: no radial and no affine part
  in->InsertNextPoint(0, 0.99, 0);
  auto out = Transformed(t, in);
  EXPECT_FLOAT_EQ(out->GetPoint(0)[0], 0 - (2 * 1.0 + 0.5));
  EXPECT_FLOAT_EQ(out->GetPoint(1)[0], 0.5f - (2 * 0.25 + 0.5 + 0.25 * 0.5));
  EXPECT_EQ(out->GetPoint(2)[0], 3.0);
  EXPECT_NEAR(out->GetPoint(3)[0], -(2 * 0.0001 + 0.5), 1e-6);
  EXPECT_EQ(out->GetPoint(3)[1], static_cast<float>(0.99));
  EXPECT_EQ(t->GetState(), vtkShapeTransform::Evaluated);
}

TEST(ShapeTransformTest, FractionZeroIsExactFirstAndFromTheCache) {
  const double linear[3][4] = {{0.1, 0.2, 0.3, 0.4}, {1, 0, 0, 0}, {0, 0, 0, -1}};
  HandFit fit({{0, 0, 0}, {1, 1, 1}}, {{-1, 2, 3}, {0.5, -0.5, 4}}, linear);
  auto in = RandomPoints(500, -1, 2, 2);
  in->SetPoint(7, -0.0, 0.5, 0.5);
  vtkNew<vtkShapeTransform> t;
  ASSERT_TRUE(fit.Apply(t, 1.5f));
  t->SetFraction(0.0f);
  EXPECT_TRUE(SameBits(in, Transformed(t, in)));
  t->SetFraction(0.7f);
  EXPECT_FALSE(SameBits(in, Transformed(t, in)));
  t->SetFraction(0.0f);
  EXPECT_TRUE(SameBits(in, Transformed(t, in)));
  EXPECT_EQ(t->GetCacheFills(), 1);
}

TEST(ShapeTransformTest, LaterFramesComeFromTheCacheAsXMinusFractionD) {
  auto centres = RandomPoints(50, 0, 1, 3);
  std::vector<std::array<double, 3>> where, weights;
  for (int j = 0; j < 50; ++j) {
    where.push_back({centres->GetPoint(j)[0], centres->GetPoint(j)[1], centres->GetPoint(j)[2]});
    weights.push_back({0.01 * j, -0.02, 0.03});
  }
  const double linear[3][4] = {{0.01, 0.02, 0, 0}, {0, 0, 0.01, 0}, {0, 0, 0, 0.02}};
  HandFit fit(where, weights, linear);
  auto in = RandomPoints(2000, -0.5, 1.5, 4);
  vtkNew<vtkShapeTransform> t;
  ASSERT_TRUE(fit.Apply(t, 0.3f));
  t->SetFraction(0.25f);
  auto first = Transformed(t, in);
  ASSERT_EQ(t->GetNumberOfDisplacements(), 2000);
  for (float f : {0.5f, 1.0f, 0.25f}) {
    t->SetFraction(f);
    auto out = Transformed(t, in);
    for (vtkIdType i = 0; i < 2000; i += 97) {
      float d[3];
      ASSERT_TRUE(t->GetDisplacement(i, d));
      for (int a = 0; a < 3; ++a)
        EXPECT_EQ(out->GetPoint(i)[a], static_cast<float>(in->GetPoint(i)[a]) - f * d[a]);
    }
    if (f == 0.25f) {
      EXPECT_TRUE(SameBits(first, out)) << "a frame shows the same shape from the cache";
    }
  }
  EXPECT_EQ(t->GetCacheFills(), 1);
  float d[3];
  EXPECT_FALSE(t->GetDisplacement(2000, d));

  // The single-point path agrees with the whole-set path, and its derivative with the slope.
  double p[3] = {0.4, 0.5, 0.6}, q[3], jac[3][3];
  t->SetFraction(1.0f);
  t->InternalTransformDerivative(p, q, jac);
  for (int a = 0; a < 3; ++a) {
    double p1[3] = {p[0], p[1], p[2]}, p0[3] = {p[0], p[1], p[2]}, q1[3], q0[3];
    p1[a] += 1e-6;
    p0[a] -= 1e-6;
    t->InternalTransformPoint(p1, q1);
    t->InternalTransformPoint(p0, q0);
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(jac[i][a], (q1[i] - q0[i]) / 2e-6, 1e-4);
  }
}

TEST(ShapeTransformTest, NewParametersAndNewInputsAreEvaluatedAnew) {
  HandFit one({{0, 0, 0}}, {{1, 0, 0}}, NoLinear);
  HandFit two({{0, 0, 0}}, {{0, 3, 0}}, NoLinear);
  vtkNew<vtkShapeTransform> t;
  ASSERT_TRUE(one.Apply(t, 2.0f));
  t->SetFraction(1.0f);
  auto small = RandomPoints(10, -1, 1, 5);
  Transformed(t, small);
  ASSERT_TRUE(two.Apply(t, 2.0f));
  EXPECT_EQ(t->GetState(), vtkShapeTransform::Parameterised);
  auto out = Transformed(t, small);
  EXPECT_EQ(t->GetCacheFills(), 2);
  EXPECT_EQ(out->GetPoint(3)[0], static_cast<float>(small->GetPoint(3)[0]));
  EXPECT_NE(out->GetPoint(3)[1], static_cast<float>(small->GetPoint(3)[1]));

  // Another, larger point set: deformed by the field, exactly as a fresh transform does it.
  auto large = RandomPoints(300, -1.5, 1.5, 6);
  vtkNew<vtkShapeTransform> fresh;
  ASSERT_TRUE(two.Apply(fresh, 2.0f));
  fresh->SetFraction(1.0f);
  EXPECT_TRUE(SameBits(Transformed(t, large), Transformed(fresh, large)));
  EXPECT_EQ(t->GetCacheFills(), 3);
  // The same set after an in-place change of its coordinates.
  large->SetPoint(0, 0.1, 0.1, 0.1);
  large->Modified();
  EXPECT_TRUE(SameBits(Transformed(t, large), Transformed(fresh, large)));

  // An empty input: empty output, the cache valid and empty.
  vtkNew<vtkPoints> none;
  EXPECT_EQ(Transformed(t, none)->GetNumberOfPoints(), 0);
  EXPECT_EQ(t->GetState(), vtkShapeTransform::Evaluated);
  EXPECT_EQ(t->GetNumberOfDisplacements(), 0);

  // A drawn model follows a new fit set at the Fraction the old one had.
  vtkNew<vtkPolyData> model;
  model->SetPoints(small);
  vtkNew<vtkTransformPolyDataFilter> drawn;
  drawn->SetInputData(model);
  drawn->SetTransform(t);
  ASSERT_TRUE(one.Apply(t, 2.0f));
  t->SetFraction(1.0f);
  drawn->Update();
  const double oneX = drawn->GetOutput()->GetPoint(3)[0];
  ASSERT_TRUE(two.Apply(t, 2.0f));
  t->SetFraction(1.0f);
  drawn->Update();
  EXPECT_NE(drawn->GetOutput()->GetPoint(3)[0], oneX);
  EXPECT_EQ(drawn->GetOutput()->GetPoint(3)[0], static_cast<float>(small->GetPoint(3)[0]));
}

TEST(ShapeTransformTest, InconsistentParametersAreRefusedAndChangeNothing) {
  HandFit good({{0, 0, 0}, {1, 0, 0}}, {{1, 0, 0}, {1, 0, 0}}, NoLinear);
  vtkNew<vtkShapeTransform> t;
  ASSERT_TRUE(good.Apply(t, 1.0f));
  t->SetFraction(1.0f);
  auto in = RandomPoints(20, -1, 2, 7);
  auto before = Transformed(t, in);
  vtkObject::GlobalWarningDisplayOff();
  HandFit shortCoeff = good;
  shortCoeff.Coeff[1] = vtkSmartPointer<vtkFloatArray>::New();
  shortCoeff.Coeff[1]->SetNumberOfValues(5);
  EXPECT_FALSE(shortCoeff.Apply(t, 1.0f));
  HandFit badRow({{0, 0, 0}, {1, 0, 0}}, {{1, 0, 0}, {1, 0, 0}}, NoLinear);
  badRow.UnList->SetValue(1, 2);
  EXPECT_FALSE(badRow.Apply(t, 1.0f));
  EXPECT_FALSE(good.Apply(t, 0.0f));
  EXPECT_FALSE(good.Apply(t, std::nanf("")));
  vtkObject::GlobalWarningDisplayOn();
  EXPECT_EQ(t->GetState(), vtkShapeTransform::Evaluated);
  EXPECT_TRUE(SameBits(before, Transformed(t, in)));
  EXPECT_EQ(t->GetCacheFills(), 1);
}

TEST(ShapeTransformTest, ThinlySpreadCentresWithASmallRadiusStillFindTheirPoints) {
  // Centres a million units apart with R = 0.01: the grid is coarsened, not made huge.
  HandFit fit({{0, 0, 0}, {1e6, 1e6, 1e6}}, {{1, 1, 1}, {2, 2, 2}}, NoLinear);
  vtkNew<vtkShapeTransform> t;
  ASSERT_TRUE(fit.Apply(t, 0.01f));
  t->SetFraction(1.0f);
  vtkNew<vtkPoints> in;
  in->InsertNextPoint(1e6, 1e6, 1e6);
  in->InsertNextPoint(0.005, 0, 0);
  in->InsertNextPoint(5e5, 5e5, 5e5);
  auto out = Transformed(t, in);
  EXPECT_FLOAT_EQ(out->GetPoint(0)[0], 1e6f - 2.0f);
  EXPECT_FLOAT_EQ(out->GetPoint(1)[0], 0.005f - 0.25f);
  EXPECT_EQ(out->GetPoint(2)[0], 5e5);
}

TEST(ShapeTransformTest, AtFractionOneEverySourceLandsOnItsTarget) {
  TempDir dir;
  // Sources on a jittered grid with their targets nearby; the corners of a larger box fixed.
  std::mt19937 random(8);
  std::uniform_real_distribution<double> jitter(-0.05, 0.05);
  std::string text = "# pairs\n";
  std::vector<std::array<double, 6>> pairs;
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 2; ++k) {
        const double s[3] = {i * 0.25 + jitter(random), j * 0.25 + jitter(random), k * 0.5};
        pairs.push_back({s[0], s[1], s[2], s[0] + jitter(random), s[1] + 0.1, s[2]});
      }
  for (int c = 0; c < 8; ++c) {
    const double x = (c & 1) ? 2 : -1, y = (c & 2) ? 2 : -1, z = (c & 4) ? 2 : -1;
    pairs.push_back({x, y, z, x, y, z});
  }
  const test::ClassicNumbers classic; // the file's numbers have a decimal point
  char line[200];
  for (const auto& p : pairs) {
    std::snprintf(line, sizeof line, "%.9g %.9g %.9g %.9g %.9g %.9g\n", p[0], p[1], p[2], p[3],
                  p[4], p[5]);
    text += line;
  }
  WriteTextFile(dir.File("pairs.ptt"), text);

  // The automatic choice, then each solver path forced (1 envelope, 2 sparse).
  for (int path : {0, 1, 2}) {
    SCOPED_TRACE(path);
    vtkNew<vtkShapeTransform> t;
    const ShapeFitResult fit = FitShapeTransform(dir.File("pairs.ptt"), 0.6f, t, {}, path);
    ASSERT_TRUE(fit.Ok()) << fit.Reason;
    EXPECT_EQ(fit.Pairs, static_cast<int>(pairs.size()));
    EXPECT_TRUE(fit.SolverWarning.empty()) << fit.SolverWarning;
    t->SetFraction(1.0f);
    vtkNew<vtkPoints> in;
    for (const auto& p : pairs)
      in->InsertNextPoint(static_cast<float>(p[0]), static_cast<float>(p[1]),
                          static_cast<float>(p[2]));
    in->InsertNextPoint(5, 5, 5); // farther than R from every source
    auto out = Transformed(t, in);
    for (size_t i = 0; i < pairs.size(); ++i)
      for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(out->GetPoint(static_cast<vtkIdType>(i))[a], pairs[i][3 + a], 2e-6)
            << "pair " << i << " axis " << a;
    EXPECT_EQ(out->GetPoint(static_cast<vtkIdType>(pairs.size()))[0], 5.0);
  }
}

TEST(ShapeTransformTest, TwinSourcesWithDifferentTargetsCarryTheSolverWarning) {
  // Two sources 1e-7 R apart moved a whole unit apart: the fit is made, with the warning the
  // window shows, naming one of the two.
  TempDir dir;
  WriteTextFile(dir.File("twins.ptt"), "0 0 0 0 0 0\n10 0 0 10 0 0\n0 10 0 0 10 0\n"
                                       "0 0 10 0 0 10\n3 3 3 3 3 3\n3.000001 3 3 3 4 3\n");
  vtkNew<vtkShapeTransform> t;
  const ShapeFitResult fit = FitShapeTransform(dir.File("twins.ptt"), 10.0f, t);
  ASSERT_TRUE(fit.Ok()) << fit.Reason;
  EXPECT_NE(fit.SolverWarning.find("misses its sources"), std::string::npos) << fit.SolverWarning;
  EXPECT_TRUE(fit.SolverWarning.find("pair 5 ") != std::string::npos ||
              fit.SolverWarning.find("pair 6 ") != std::string::npos)
      << fit.SolverWarning;
}

} // namespace
