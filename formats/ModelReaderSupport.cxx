#include "ModelReaderSupport.h"

#include "InputFile.h"

#include <vtkDataArray.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <charconv>
#include <cstdio>

namespace selvane::formats {

ModelFileReadResult ModelRefusal(ModelFileProblem problem, std::string reason) {
  ModelFileReadResult r;
  r.Problem = problem;
  r.Reason = std::move(reason);
  return r;
}

ModelFileReadResult ReadModelBytes(const std::string& path, std::string& bytes) {
  const InputFileResult read = ReadRegularFile(path, bytes);
  if (!read.Ok()) {
    return ModelRefusal(ModelFileProblem::CannotRead, read.Reason);
  }
  return ModelFileReadResult();
}

bool ParseReal(std::string_view token, double& value) {
  const char* first = token.data();
  const char* last = first + token.size();
  // from_chars takes no '+'; a '+' before a sign is not a number.
  if (first != last && *first == '+') {
    ++first;
    if (first != last && (*first == '-' || *first == '+')) {
      return false;
    }
  }
  if (first == last) {
    return false;
  }
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  return result.ec == std::errc() && result.ptr == last;
}

bool ParseInteger(std::string_view token, std::int64_t& value) {
  const char* first = token.data();
  const char* last = first + token.size();
  if (first != last && *first == '+') {
    ++first;
    if (first != last && *first == '-') {
      return false;
    }
  }
  if (first == last) {
    return false;
  }
  const auto result = std::from_chars(first, last, value);
  return result.ec == std::errc() && result.ptr == last;
}

std::string QuoteToken(std::string_view token) {
  constexpr std::size_t Longest = 40;
  std::string shown;
  for (std::size_t i = 0; i < token.size() && i < Longest; ++i) {
    const unsigned char c = static_cast<unsigned char>(token[i]);
    shown += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
  }
  return "\"" + shown + (token.size() > Longest ? "...\"" : "\"");
}

std::string DecimalFigure(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string figure = text;
  // snprintf follows LC_NUMERIC; figures in messages keep the decimal point.
  for (char& c : figure) {
    if (c == ',') {
      c = '.';
    }
  }
  while (figure.find('.') != std::string::npos && (figure.back() == '0' || figure.back() == '.')) {
    const bool dot = figure.back() == '.';
    figure.pop_back();
    if (dot) {
      break;
    }
  }
  return figure;
}

vtkSmartPointer<vtkCellArray> MakeCells(vtkIdTypeArray* offsets, vtkIdTypeArray* connectivity) {
  auto cells = vtkSmartPointer<vtkCellArray>::New();
  cells->SetData(offsets, connectivity);
  return cells;
}

vtkSmartPointer<vtkIdTypeArray> UniformOffsets(vtkIdType cells, vtkIdType size) {
  auto offsets = vtkSmartPointer<vtkIdTypeArray>::New();
  offsets->SetNumberOfValues(cells + 1);
  vtkIdType* o = offsets->GetPointer(0);
  for (vtkIdType i = 0; i <= cells; ++i) {
    o[i] = i * size;
  }
  return offsets;
}

vtkSmartPointer<vtkIdTypeArray> SequentialIds(vtkIdType count) {
  auto ids = vtkSmartPointer<vtkIdTypeArray>::New();
  ids->SetNumberOfValues(count);
  vtkIdType* c = count > 0 ? ids->GetPointer(0) : nullptr;
  for (vtkIdType i = 0; i < count; ++i) {
    c[i] = i;
  }
  return ids;
}

void SetModelPoints(vtkPolyData* model, vtkDataArray* coordinates) {
  auto points = vtkSmartPointer<vtkPoints>::New();
  points->SetData(coordinates);
  model->SetPoints(points);
}

} // namespace selvane::formats
