#include "vtkPointMarkerSource.h"

#include <vtkCellArray.h>
#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSphereSource.h>
#include <vtkTypeInt32Array.h>
#include <vtkTypeInt64Array.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace selvane {

vtkObjectFactoryNewMacro(vtkPointMarkerSource);

vtkPointMarkerSource::vtkPointMarkerSource() {
  SetNumberOfInputPorts(0);
}

vtkPointMarkerSource::~vtkPointMarkerSource() = default;

void vtkPointMarkerSource::AddMarker(vtkIdType key, const PointMarker& marker) {
  Markers.Add(key, marker);
  Modified();
}

void vtkPointMarkerSource::RemoveMarker(vtkIdType key) {
  if (Markers.Remove(key))
    Modified();
}

void vtkPointMarkerSource::RemoveAllMarkers() {
  if (Markers.Size() == 0)
    return;
  Markers.Clear();
  Modified();
}

std::vector<vtkIdType> vtkPointMarkerSource::GetMarkerKeys() const {
  std::vector<vtkIdType> keys;
  keys.reserve(Markers.Size());
  Markers.ForEach([&](vtkIdType key, const PointMarker&) { keys.push_back(key); });
  return keys;
}

const vtkPointMarkerSource::Sphere& vtkPointMarkerSource::SphereOfRadius(float radius) {
  std::uint32_t key = 0;
  std::memcpy(&key, &radius, sizeof key);
  const auto known = Spheres.find(key);
  if (known != Spheres.end())
    return known->second;
  vtkNew<vtkSphereSource> source;
  source->SetRadius(radius);
  source->SetCenter(0, 0, 0);
  source->SetOutputPointsPrecision(vtkAlgorithm::DOUBLE_PRECISION);
  source->Update();
  vtkPolyData* made = source->GetOutput();
  Sphere& sphere = Spheres[key];
  vtkDataArray* normals = made->GetPointData()->GetNormals();
  for (vtkIdType i = 0; i < made->GetNumberOfPoints(); ++i) {
    double p[3], n[3] = {0, 0, 1};
    made->GetPoint(i, p);
    if (normals)
      normals->GetTuple(i, n);
    sphere.Points.insert(sphere.Points.end(), p, p + 3);
    sphere.Normals.insert(sphere.Normals.end(), n, n + 3);
  }
  vtkNew<vtkIdList> ids;
  vtkCellArray* triangles = made->GetPolys();
  for (vtkIdType c = 0; c < triangles->GetNumberOfCells(); ++c) {
    triangles->GetCellAtId(c, ids);
    sphere.TriangleSizes.push_back(ids->GetNumberOfIds());
    sphere.TriangleIds.insert(sphere.TriangleIds.end(), ids->begin(), ids->end());
  }
  return sphere;
}

template <typename IdArray>
void vtkPointMarkerSource::DrawMarkers(vtkPolyData* output, vtkIdType pointCount,
                                       vtkIdType triangleCount, vtkIdType triangleIds) {
  using Id = typename IdArray::ValueType;
  const vtkIdType markerCount = static_cast<vtkIdType>(Markers.Size());
  vtkNew<vtkFloatArray> coordinates;
  coordinates->SetNumberOfComponents(3);
  coordinates->SetNumberOfTuples(pointCount);
  vtkNew<vtkFloatArray> normals;
  normals->SetName("Normals");
  normals->SetNumberOfComponents(3);
  normals->SetNumberOfTuples(pointCount);
  vtkNew<IdArray> polyOffsets, polyIds, lineOffsets, lineIds;
  polyOffsets->SetNumberOfValues(triangleCount + 1);
  polyIds->SetNumberOfValues(triangleIds);
  lineOffsets->SetNumberOfValues(markerCount + 1);
  lineIds->SetNumberOfValues(2 * markerCount);

  float* xyz = coordinates->GetPointer(0);
  float* nxyz = normals->GetPointer(0);
  Id* polyOffset = polyOffsets->GetPointer(0);
  Id* polyId = polyIds->GetPointer(0);
  Id* lineOffset = lineOffsets->GetPointer(0);
  Id* lineId = lineIds->GetPointer(0);
  Id firstPoint = 0, nextPolyId = 0, nextLineId = 0;
  *polyOffset++ = 0;
  *lineOffset++ = 0;
  Markers.ForEach([&](vtkIdType, const PointMarker& marker) {
    const Sphere& sphere = SphereOfRadius(DrawnRadius(marker));
    const Id n = static_cast<Id>(sphere.NumberOfPoints());
    for (Id i = 0; i < n; ++i)
      for (int k = 0; k < 3; ++k) {
        *xyz++ = static_cast<float>(marker.Target[k] + sphere.Points[3 * i + k]);
        *nxyz++ = static_cast<float>(sphere.Normals[3 * i + k]);
      }
    // The point itself, then its target: the marker's last point is the target.
    for (const float* p : {marker.Position, marker.Target})
      for (int k = 0; k < 3; ++k) {
        *xyz++ = p[k];
        *nxyz++ = k == 2 ? 1.0f : 0.0f;
      }
    for (const vtkIdType id : sphere.TriangleIds)
      *polyId++ = firstPoint + static_cast<Id>(id);
    for (const vtkIdType size : sphere.TriangleSizes) {
      nextPolyId += static_cast<Id>(size);
      *polyOffset++ = nextPolyId;
    }
    *lineId++ = firstPoint + n;
    *lineId++ = firstPoint + n + 1;
    nextLineId += 2;
    *lineOffset++ = nextLineId;
    firstPoint += n + 2;
  });

  vtkNew<vtkPoints> points;
  points->SetData(coordinates);
  output->SetPoints(points);
  output->GetPointData()->SetNormals(normals);
  vtkNew<vtkCellArray> polys, lines;
  polys->SetData(polyOffsets, polyIds);
  lines->SetData(lineOffsets, lineIds);
  output->SetPolys(polys);
  output->SetLines(lines);
}

int vtkPointMarkerSource::RequestData(vtkInformation*, vtkInformationVector**,
                                      vtkInformationVector* outputVector) {
  vtkPolyData* output = vtkPolyData::GetData(outputVector);
  output->Initialize();
  if (Markers.Size() == 0)
    return 1;
  // Sizes first, so that every array is allocated once.
  vtkIdType pointCount = 0, triangleCount = 0, triangleIds = 0;
  Markers.ForEach([&](vtkIdType, const PointMarker& marker) {
    const Sphere& sphere = SphereOfRadius(DrawnRadius(marker));
    pointCount += sphere.NumberOfPoints() + 2;
    triangleCount += static_cast<vtkIdType>(sphere.TriangleSizes.size());
    triangleIds += static_cast<vtkIdType>(sphere.TriangleIds.size());
  });
  // 32-bit point IDs halve the memory of the triangles while they can number the points.
  if (std::max(pointCount, triangleIds) < std::numeric_limits<vtkTypeInt32>::max())
    DrawMarkers<vtkTypeInt32Array>(output, pointCount, triangleCount, triangleIds);
  else
    DrawMarkers<vtkTypeInt64Array>(output, pointCount, triangleCount, triangleIds);
  return 1;
}

void vtkPointMarkerSource::SetMinimumRadius(float radius) {
  if (radius == MinimumRadius)
    return;
  MinimumRadius = radius;
  // Spheres made for earlier minimums are not drawn again.
  Spheres.clear();
  Modified();
}

void vtkPointMarkerSource::PrintSelf(ostream& os, vtkIndent indent) {
  Superclass::PrintSelf(os, indent);
  os << indent << "MinimumRadius: " << MinimumRadius << "\n";
  os << indent << "Markers: " << Markers.Size() << "\n";
  os << indent << "Sphere radii made: " << Spheres.size() << "\n";
}

} // namespace selvane
