// The pure layout of the axes and labels.
#include "AxesLayout.h"
#include "Locales.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

using selvane::AxesLayout;
using selvane::ComputeAxesLayout;

TEST(AxesLayout, WorkedExample) {
  // A model from (0, 0, 0) to (5, 2, 1).
  const double b[6] = {0, 5, 0, 2, 0, 1};
  const AxesLayout L = ComputeAxesLayout(b);
  EXPECT_EQ(L.Origin, (std::array<double, 3>{0, 0, 0}));
  EXPECT_EQ(L.ScaleFactor, (std::array<double, 3>{5, 2, 1}));
  EXPECT_EQ(L.LargestExtent, 5.0);
  const double s = 5.0 / 28.0;
  EXPECT_DOUBLE_EQ(L.LabelScale, s);
  EXPECT_DOUBLE_EQ(L.LabelScale, 5 * 0.03571428571428571);

  const auto& o = L.Labels[AxesLayout::OriginLabel];
  const auto& x = L.Labels[AxesLayout::XLabel];
  const auto& y = L.Labels[AxesLayout::YLabel];
  const auto& z = L.Labels[AxesLayout::ZLabel];
  EXPECT_EQ(o.Text, "0.000000 0.000000 0.000000");
  EXPECT_EQ(x.Text, "x 5.000000");
  EXPECT_EQ(y.Text, "y 2.000000");
  EXPECT_EQ(z.Text, "z 1.000000");

  auto expectPos = [](const std::array<double, 3>& p, double a, double b2, double c) {
    EXPECT_DOUBLE_EQ(p[0], a);
    EXPECT_DOUBLE_EQ(p[1], b2);
    EXPECT_DOUBLE_EQ(p[2], c);
  };
  expectPos(o.Position, -s, -s, -s);
  expectPos(x.Position, 5 - s, -s, -s);
  expectPos(y.Position, -s, 2 - s, -s);
  expectPos(z.Position, -s, -s, 1 - s);

  EXPECT_EQ(o.Color, (std::array<double, 3>{1, 1, 1}));
  EXPECT_EQ(x.Color, (std::array<double, 3>{1, 0, 0}));
  EXPECT_EQ(y.Color, (std::array<double, 3>{0, 0, 1}));
  EXPECT_EQ(z.Color, (std::array<double, 3>{0, 1, 0}));
}

TEST(AxesLayout, NegativeMinimaAndLargestExtentOnZ) {
  // m is the largest of the three extents, whichever axis it lies along; here z.
  const double b[6] = {-1, 1, -2.5, 1.5, -10, 0};
  const AxesLayout L = ComputeAxesLayout(b);
  EXPECT_EQ(L.Origin, (std::array<double, 3>{-1, -2.5, -10}));
  EXPECT_EQ(L.ScaleFactor, (std::array<double, 3>{2, 4, 10}));
  EXPECT_EQ(L.LargestExtent, 10.0);
  EXPECT_DOUBLE_EQ(L.LabelScale, 10.0 / 28.0);
  EXPECT_EQ(L.Labels[AxesLayout::OriginLabel].Text, "-1.000000 -2.500000 -10.000000");
  EXPECT_EQ(L.Labels[AxesLayout::XLabel].Text, "x 1.000000");
  EXPECT_EQ(L.Labels[AxesLayout::YLabel].Text, "y 1.500000");
  EXPECT_EQ(L.Labels[AxesLayout::ZLabel].Text, "z 0.000000");
  EXPECT_DOUBLE_EQ(L.Labels[AxesLayout::ZLabel].Position[2], -10.0 / 28.0);
}

TEST(AxesLayout, SinglePointModel) {
  const double b[6] = {3, 3, 4, 4, 5, 5};
  const AxesLayout L = ComputeAxesLayout(b);
  EXPECT_EQ(L.ScaleFactor, (std::array<double, 3>{0, 0, 0}));
  EXPECT_EQ(L.LabelScale, 0.0);
  EXPECT_EQ(L.Labels[AxesLayout::OriginLabel].Position, (std::array<double, 3>{3, 4, 5}));
}

TEST(AxesLayout, TextsIgnoreTheUserLocale) {
  selvane::test::GermanLocale german;
  if (!german.Enter())
    GTEST_SKIP() << "no German locale available";
  char printed[64];
  std::snprintf(printed, sizeof printed, "%f", 2.25);
  EXPECT_STREQ(printed, "2,250000"); // the locale is really in effect
  const double b[6] = {-1.5, 2.25, 0, 1, 0, 3};
  const AxesLayout L = ComputeAxesLayout(b);
  EXPECT_EQ(L.Labels[AxesLayout::OriginLabel].Text, "-1.500000 0.000000 0.000000");
  EXPECT_EQ(L.Labels[AxesLayout::XLabel].Text, "x 2.250000");
}
