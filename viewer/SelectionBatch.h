#pragma once

#include "DeferredCollection.h"

namespace selvane {

class MainDialog;

// Many selection changes in a row (an import, say): the selection filters take their inputs
// once at the end, and VTK's reference walks are deferred to the end too.
class SelectionBatch {
public:
  explicit SelectionBatch(MainDialog& dialog);
  ~SelectionBatch();
  SelectionBatch(const SelectionBatch&) = delete;
  SelectionBatch& operator=(const SelectionBatch&) = delete;

private:
  DeferredCollection Deferred;
  MainDialog& Dialog;
};

} // namespace selvane
