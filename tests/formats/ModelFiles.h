// Builders of small legacy VTK files for the model-file tests: a valid tetrahedron in every
// layout, big-endian binary data, and a temporary folder that is removed at the end.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace modelcheck
{

// Big-endian binary and text pieces of a legacy file.
class Bytes
{
public:
  Bytes& Text(const std::string& s)
  {
    this->Data += s;
    return *this;
  }
  Bytes& F32(float v)
  {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    return this->Big(u, 4);
  }
  Bytes& F64(double v)
  {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    return this->Big(u, 8);
  }
  Bytes& I32(std::int32_t v) { return this->Big(static_cast<std::uint32_t>(v), 4); }
  Bytes& I64(std::int64_t v) { return this->Big(static_cast<std::uint64_t>(v), 8); }
  Bytes& U8(unsigned v)
  {
    this->Data += static_cast<char>(v);
    return *this;
  }
  std::string Data;

private:
  Bytes& Big(std::uint64_t u, int n)
  {
    for (int i = n - 1; i >= 0; --i)
    {
      this->Data += static_cast<char>((u >> (8 * i)) & 0xff);
    }
    return *this;
  }
};

inline std::string Header(const std::string& version = "4.2", const std::string& type = "ASCII")
{
  return "# vtk DataFile Version " + version + "\ntetrahedron\n" + type + "\nDATASET POLYDATA\n";
}

inline std::string TetraPoints()
{
  return "POINTS 4 float\n0 0 0 1 0 0 0 1 0\n0 0 1\n";
}

// The four faces in the 4.x layout.
inline std::string TetraPolys4()
{
  return "POLYGONS 4 16\n3 0 1 2\n3 0 1 3\n3 0 2 3\n3 1 2 3\n";
}

// The four faces in the 5.x layout.
inline std::string TetraPolys5()
{
  return "POLYGONS 5 12\nOFFSETS vtktypeint64\n0 3 6 9 12\nCONNECTIVITY vtktypeint64\n"
         "0 1 2 0 1 3 0 2 3 1 2 3\n";
}

inline std::string TetraCellScalars()
{
  return "CELL_DATA 4\nSCALARS cs int 1\nLOOKUP_TABLE default\n0 1 2 3\n";
}

inline std::string Tetra42(const std::string& points = TetraPoints(),
  const std::string& polys = TetraPolys4(), const std::string& tail = TetraCellScalars())
{
  return Header("4.2") + points + polys + tail;
}

inline std::string Tetra51(const std::string& points = TetraPoints(),
  const std::string& polys = TetraPolys5(), const std::string& tail = TetraCellScalars())
{
  return Header("5.1") + points + polys + tail;
}

inline std::string ToCrlf(const std::string& s)
{
  std::string out;
  for (char c : s)
  {
    if (c == '\n')
    {
      out += '\r';
    }
    out += c;
  }
  return out;
}

// The tetrahedron as a BINARY 4.2 file; `x0` is the first coordinate, `id` the last point ID.
inline std::string TetraBinary42(float x0 = 0.0f, std::int32_t lastId = 3, std::int32_t points = 4)
{
  Bytes b;
  b.Text(Header("4.2", "BINARY")).Text("POINTS " + std::to_string(points) + " float\n");
  const float xyz[12] = { x0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1 };
  for (float v : xyz)
  {
    b.F32(v);
  }
  b.Text("\nPOLYGONS 4 16\n");
  const std::int32_t cells[16] = { 3, 0, 1, 2, 3, 0, 1, 3, 3, 0, 2, 3, 3, 1, 2, lastId };
  for (std::int32_t v : cells)
  {
    b.I32(v);
  }
  b.Text("\nCELL_DATA 4\nSCALARS cs int 1\nLOOKUP_TABLE default\n");
  for (int v = 0; v < 4; ++v)
  {
    b.I32(v);
  }
  b.Text("\n");
  return b.Data;
}

// The tetrahedron as a BINARY 5.1 file with 64-bit offsets and connectivity.
inline std::string TetraBinary51(std::int64_t firstOffset = 0, std::int64_t lastId = 3)
{
  Bytes b;
  b.Text(Header("5.1", "BINARY")).Text("POINTS 4 double\n");
  const double xyz[12] = { 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1 };
  for (double v : xyz)
  {
    b.F64(v);
  }
  b.Text("\nPOLYGONS 5 12\nOFFSETS vtktypeint64\n");
  const std::int64_t offsets[5] = { firstOffset, 3, 6, 9, 12 };
  for (std::int64_t v : offsets)
  {
    b.I64(v);
  }
  b.Text("\nCONNECTIVITY vtktypeint64\n");
  const std::int64_t conn[12] = { 0, 1, 2, 0, 1, 3, 0, 2, 3, 1, 2, lastId };
  for (std::int64_t v : conn)
  {
    b.I64(v);
  }
  b.Text("\nCELL_DATA 4\nSCALARS cs float 1\nLOOKUP_TABLE mylut\n");
  for (int v = 0; v < 4; ++v)
  {
    b.F32(static_cast<float>(v));
  }
  b.Text("\nLOOKUP_TABLE mylut 4\n");
  for (int v = 0; v < 16; ++v)
  {
    b.U8(static_cast<unsigned>(v * 16));
  }
  b.Text("\n");
  return b.Data;
}

} // namespace modelcheck
