#include "FitFile.h"

#include "AtomicFile.h"

#include <nlohmann/json.hpp>

#include <vtkPolyData.h>

#include <cfloat>
#include <cmath>
#include <exception>
#include <new>
#include <tuple>
#include <utility>

namespace selvane {

namespace {

using Json = nlohmann::json;

const char* const FormatName = "selvane-fit";
constexpr int FormatVersion = 1;

// value as the float the fit uses; false when it is not a number a float holds.
bool ToFloat(const Json& value, float& out) {
  if (!value.is_number())
    return false;
  const double v = value.get<double>();
  if (!std::isfinite(v) || std::fabs(v) > FLT_MAX)
    return false;
  out = static_cast<float>(v);
  return true;
}

// Rows of `width` floats; "" or the reason naming the entry and the row.
std::string ReadRows(const Json& root, const char* name, std::size_t width,
                     std::vector<float>& out) {
  const auto entry = root.find(name);
  if (entry == root.end() || !entry->is_array())
    return std::string("the entry '") + name + "' is missing or is not a list";
  out.clear();
  out.reserve(entry->size() * width);
  std::size_t row = 0;
  for (const Json& item : *entry) {
    if (!item.is_array() || item.size() != width)
      return std::string("'") + name + "' row " + std::to_string(row + 1) + " does not hold " +
             std::to_string(width) + " numbers";
    for (const Json& value : item) {
      float f = 0.0f;
      if (!ToFloat(value, f))
        return std::string("'") + name + "' row " + std::to_string(row + 1) +
               " holds a value that is not a finite single-precision number";
      out.push_back(f);
    }
    ++row;
  }
  return {};
}

// nlohmann's "[json.exception.parse_error.101] parse error at line 1, column 2: ..." without
// the bracketed tag.
std::string WithoutTag(const char* what) {
  std::string text = what;
  if (!text.empty() && text[0] == '[')
    if (const auto close = text.find("] "); close != std::string::npos)
      text.erase(0, close + 2);
  return text;
}

bool Refuse(std::string& reason, std::string why) {
  reason = std::move(why);
  return false;
}

bool Parse(const std::string& text, SplineFit& fit, FitFileSummary& summary, std::string& reason) {
  const Json root = Json::parse(text); // throws parse_error with the line and column
  if (!root.is_object() || root.value("format", std::string()) != FormatName)
    return Refuse(reason, std::string("is not a fit file (no \"format\": \"") + FormatName + "\")");
  if (root.value("version", 0) != FormatVersion)
    return Refuse(reason, "has a version of the fit file this program does not know (it reads " +
                              std::to_string(FormatVersion) + ")");
  float radius = 0.0f;
  if (!root.contains("radius") || !ToFloat(root["radius"], radius) || !(radius > 0.0f))
    return Refuse(reason, "has no positive single-precision 'radius'");
  std::vector<float> centres, weights, linear;
  for (const auto& [name, width, out] :
       {std::tuple<const char*, std::size_t, std::vector<float>*>{"centres", 3, &centres},
        {"weights", 3, &weights},
        {"linear", 4, &linear}})
    if (std::string why = ReadRows(root, name, width, *out); !why.empty())
      return Refuse(reason, why);
  const std::size_t n = centres.size() / 3;
  if (n == 0)
    return Refuse(reason, "holds no centres");
  if (weights.size() != centres.size())
    return Refuse(reason, "holds " + std::to_string(n) + " centres but " +
                              std::to_string(weights.size() / 3) + " weights");
  if (linear.size() != 12)
    return Refuse(reason, "'linear' does not hold three rows (x, y, z) of four numbers");

  SplineFit loaded;
  loaded.Radius = radius;
  loaded.Centres = vtkSmartPointer<vtkPoints>::New(); // float, as the reader's
  loaded.Centres->SetNumberOfPoints(static_cast<vtkIdType>(n));
  loaded.List = vtkSmartPointer<vtkIntArray>::New();
  loaded.UnList = vtkSmartPointer<vtkIntArray>::New();
  loaded.List->SetNumberOfValues(static_cast<vtkIdType>(n));
  loaded.UnList->SetNumberOfValues(static_cast<vtkIdType>(n));
  vtkSmartPointer<vtkFloatArray>* coeffs[3] = {&loaded.CoeffX, &loaded.CoeffY, &loaded.CoeffZ};
  for (int a = 0; a < 3; ++a) {
    *coeffs[a] = vtkSmartPointer<vtkFloatArray>::New();
    (*coeffs[a])->SetNumberOfValues(static_cast<vtkIdType>(n + 4));
  }
  // Centre j's coefficients sit in row j: the field sums the same values in the same order.
  for (std::size_t j = 0; j < n; ++j) {
    const auto id = static_cast<vtkIdType>(j);
    loaded.Centres->SetPoint(id, centres[3 * j], centres[3 * j + 1], centres[3 * j + 2]);
    loaded.List->SetValue(id, static_cast<int>(j));
    loaded.UnList->SetValue(id, static_cast<int>(j));
    for (int a = 0; a < 3; ++a)
      (*coeffs[a])->SetValue(id, weights[3 * j + a]);
  }
  for (int a = 0; a < 3; ++a)
    for (int k = 0; k < 4; ++k)
      (*coeffs[a])->SetValue(static_cast<vtkIdType>(n + k), linear[4 * a + k]);
  loaded.OrderedCentres = loaded.Centres;
  auto holder = vtkSmartPointer<vtkPolyData>::New();
  holder->SetPoints(loaded.Centres);
  loaded.Locator = vtkSmartPointer<vtkPointLocator>::New();
  loaded.Locator->SetDataSet(holder);
  loaded.Locator->BuildLocator();

  summary.Pairs = root.value("pairs", static_cast<int>(n));
  summary.SolverPath = root.value("solver", std::string());
  summary.Residual = root.value("residual", 0.0);
  fit = loaded;
  return true;
}

} // namespace

std::string FormatFitFile(const SplineFit& fit, const FitFileSummary& summary) {
  const vtkIdType n = fit.Centres->GetNumberOfPoints();
  Json centres = Json::array(), weights = Json::array(), linear = Json::array();
  const vtkFloatArray* coeffs[3] = {fit.CoeffX, fit.CoeffY, fit.CoeffZ};
  for (vtkIdType j = 0; j < n; ++j) {
    double c[3];
    fit.Centres->GetPoint(j, c);
    const int row = fit.UnList->GetValue(j);
    // The centres are stored as floats: their doubles are the floats' exact values.
    centres.push_back({c[0], c[1], c[2]});
    weights.push_back(
        {coeffs[0]->GetValue(row), coeffs[1]->GetValue(row), coeffs[2]->GetValue(row)});
  }
  for (const vtkFloatArray* c : coeffs)
    linear.push_back({c->GetValue(n), c->GetValue(n + 1), c->GetValue(n + 2), c->GetValue(n + 3)});
  const Json head = {{"format", FormatName},         {"version", FormatVersion},
                     {"radius", fit.Radius},         {"pairs", summary.Pairs},
                     {"solver", summary.SolverPath}, {"residual", summary.Residual}};
  // One entry per line and one row of numbers per line: readable and easy to compare. nlohmann
  // writes each number in the shortest form that reads back as the same double.
  std::string text = "{\n";
  for (const char* key : {"format", "version", "radius", "pairs", "solver", "residual"})
    text += "  \"" + std::string(key) + "\": " + head[key].dump() + ",\n";
  const std::pair<const char*, const Json*> lists[] = {
      {"centres", &centres}, {"weights", &weights}, {"linear", &linear}};
  for (const auto& [key, rows] : lists) {
    text += "  \"" + std::string(key) + "\": [";
    for (std::size_t r = 0; r < rows->size(); ++r)
      text += (r == 0 ? "\n    " : ",\n    ") + (*rows)[r].dump();
    text += std::string("\n  ]") + (std::string(key) == "linear" ? "\n" : ",\n");
  }
  return text + "}\n";
}

Result WriteFitFile(const std::string& path, const SplineFit& fit, const FitFileSummary& summary) {
  try {
    return formats::WriteFileAtomically(path, FormatFitFile(fit, summary));
  } catch (const std::bad_alloc&) {
    return Result::Failure(ErrorCode::OutOfMemory,
                           "Cannot write '" + path + "': not enough memory");
  }
}

Result ParseFitFile(const std::string& text, SplineFit& fit, FitFileSummary& summary) {
  try {
    std::string reason;
    if (Parse(text, fit, summary, reason))
      return Result::Success();
    return Result::Failure(ErrorCode::Unreadable, reason);
  } catch (const nlohmann::json::exception& e) {
    return Result::Failure(ErrorCode::Unreadable, "is not valid JSON: " + WithoutTag(e.what()));
  } catch (const std::bad_alloc&) {
    return Result::Failure(ErrorCode::OutOfMemory, "is too large for the memory there is");
  }
}

Result ReadFitFile(const std::string& path, SplineFit& fit, FitFileSummary& summary) {
  std::string text;
  if (const Result read = formats::ReadFileContents(path, text); !read) {
    // ReadFileContents names the path; the caller names it once more.
    std::string reason = read.Reason;
    const std::string prefix = "Cannot read '" + path + "': ";
    if (reason.rfind(prefix, 0) == 0)
      reason.erase(0, prefix.size());
    return Result::Failure(read.Code, reason);
  }
  return ParseFitFile(text, fit, summary);
}

} // namespace selvane
