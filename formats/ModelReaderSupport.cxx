#include "ModelReaderSupport.h"

#include "InputFile.h"

#include <vtkDataArray.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <vtkTypeInt32Array.h>
#include <vtkTypeInt64Array.h>

#include <charconv>
#include <cstdio>
#include <limits>

namespace selvane::formats {

namespace {

struct Allocation {
  char* Data = nullptr;
  std::size_t Size = 0;
};

char* Allocate(void* context, std::size_t size) {
  auto* allocation = static_cast<Allocation*>(context);
  allocation->Data = static_cast<char*>(std::malloc(size > 0 ? size : 1));
  allocation->Size = size;
  return allocation->Data;
}

} // namespace

Result ReadModelBytes(const std::string& path, ModelFileBytes& bytes) {
  Allocation allocation;
  const Result read = ReadRegularFileInto(path, Allocate, &allocation);
  bytes.Bytes.reset(allocation.Data);
  bytes.Length = read.Ok() ? allocation.Size : 0;
  if (!read.Ok()) {
    bytes.Bytes.reset();
    return read;
  }
  return Result::Success();
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
  if (result.ptr != last) {
    return false;
  }
  if (result.ec == std::errc::result_out_of_range) {
    // A number past a double's range is still a number: too large, it is infinite (and refused
    // as such by the caller); too small, it is zero, as a float would hold it.
    const std::string_view digits(first, static_cast<std::size_t>(last - first));
    const bool negative = digits.front() == '-';
    const std::size_t e = digits.find_first_of("eE");
    const std::string_view mantissa = digits.substr(0, e);
    const bool tiny = e != std::string_view::npos
                          ? digits.substr(e + 1).front() == '-'
                          : mantissa.find_first_of("123456789") > mantissa.find('.');
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    value = negative ? -value : value;
    return true;
  }
  return result.ec == std::errc();
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

namespace {

template <typename ArrayT>
vtkSmartPointer<vtkCellArray> SequentialCellsIn(vtkIdType cells, vtkIdType size) {
  using Value = typename ArrayT::ValueType;
  auto offsets = vtkSmartPointer<ArrayT>::New();
  offsets->SetNumberOfValues(cells + 1);
  Value* o = offsets->GetPointer(0);
  for (vtkIdType i = 0; i <= cells; ++i) {
    o[i] = static_cast<Value>(i * size);
  }
  auto connectivity = vtkSmartPointer<ArrayT>::New();
  connectivity->SetNumberOfValues(cells * size);
  Value* c = cells * size > 0 ? connectivity->GetPointer(0) : nullptr;
  for (vtkIdType i = 0; i < cells * size; ++i) {
    c[i] = static_cast<Value>(i);
  }
  auto cellArray = vtkSmartPointer<vtkCellArray>::New();
  cellArray->SetData(offsets, connectivity);
  return cellArray;
}

} // namespace

vtkSmartPointer<vtkCellArray> SequentialCells(vtkIdType cells, vtkIdType size) {
  if (cells * size <= std::numeric_limits<std::int32_t>::max()) {
    return SequentialCellsIn<vtkTypeInt32Array>(cells, size);
  }
  return SequentialCellsIn<vtkTypeInt64Array>(cells, size);
}

void SetModelPoints(vtkPolyData* model, vtkDataArray* coordinates) {
  auto points = vtkSmartPointer<vtkPoints>::New();
  points->SetData(coordinates);
  model->SetPoints(points);
}

} // namespace selvane::formats
