#pragma once

#include "HeldOrder.h"
#include "PointMarker.h"

#include <vtkPolyDataAlgorithm.h>

#include <cstdint>
#include <map>
#include <vector>

namespace selvane {

/**
 * @class vtkPointMarkerSource
 * @brief Draws the selected points' markers.
 *
 * Draws selected points' markers: for each, the triangles of a sphere of its radius (VTK's
 * default sphere resolution) around its target, then the point and the target joined by a line,
 * with a normal for every point. Markers are kept as plain records under a key and drawn in the
 * order they were added, so 100,000 markers cost no VTK object each.
 */
class vtkPointMarkerSource : public vtkPolyDataAlgorithm {
public:
  static vtkPointMarkerSource* New();
  vtkTypeMacro(vtkPointMarkerSource, vtkPolyDataAlgorithm);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  void AddMarker(vtkIdType key, const PointMarker& marker);
  // Lets go of the latest marker held under key; nothing when there is none.
  void RemoveMarker(vtkIdType key);
  void RemoveAllMarkers();
  vtkIdType GetNumberOfMarkers() const { return static_cast<vtkIdType>(Markers.Size()); }
  // The keys of the held markers in drawing order.
  std::vector<vtkIdType> GetMarkerKeys() const;

  // Spheres are drawn with at least this radius (the view keeps markers a few pixels wide);
  // the markers' own radii are kept. 0 by default.
  void SetMinimumRadius(float radius);
  vtkGetMacro(MinimumRadius, float);

protected:
  vtkPointMarkerSource();
  ~vtkPointMarkerSource() override;

  int RequestData(vtkInformation*, vtkInformationVector**, vtkInformationVector*) override;

private:
  vtkPointMarkerSource(const vtkPointMarkerSource&) = delete;
  void operator=(const vtkPointMarkerSource&) = delete;

  // A sphere around the origin: its points, their normals and its triangles' point IDs.
  struct Sphere {
    std::vector<double> Points, Normals;
    std::vector<vtkIdType> TriangleSizes, TriangleIds;
    vtkIdType NumberOfPoints() const { return static_cast<vtkIdType>(Points.size() / 3); }
  };
  // Made once per radius.
  const Sphere& SphereOfRadius(float radius);
  // Fills the output with every marker, numbering points with IdArray's values.
  template <typename IdArray>
  void DrawMarkers(vtkPolyData* output, vtkIdType pointCount, vtkIdType triangleCount,
                   vtkIdType triangleIds);

  float DrawnRadius(const PointMarker& marker) const {
    return marker.Radius < MinimumRadius ? MinimumRadius : marker.Radius;
  }

  HeldOrder<PointMarker> Markers;
  float MinimumRadius = 0;
  // Keyed by the radius's bits, an order that holds for every float, NaN included.
  std::map<std::uint32_t, Sphere> Spheres;
};

} // namespace selvane
