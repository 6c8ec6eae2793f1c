#pragma once

#include <vtkType.h>

#include <cstddef>
#include <unordered_map>
#include <utility>
#include <vector>

namespace selvane {

// Values kept in the order they were added, each under a key, as the selection filters hold
// what they draw. Adding is O(1); removing by key is O(1) amortised: a removal leaves an empty
// slot, and the slots are compacted once the empty ones outnumber the held ones. A key may be
// held more than once; removing it lets go of its latest hold.
template <typename T> class HeldOrder {
public:
  void Add(vtkIdType key, T value) {
    Where[key].push_back(Slots.size());
    Slots.push_back({key, std::move(value), true});
    ++Live;
  }

  // False when the key is not held.
  bool Remove(vtkIdType key) {
    const auto found = Where.find(key);
    if (found == Where.end())
      return false;
    Slots[found->second.back()].Held = false;
    found->second.pop_back();
    if (found->second.empty())
      Where.erase(found);
    --Live;
    if (Slots.size() > 64 && Slots.size() > 2 * Live)
      Compact();
    return true;
  }

  void Clear() {
    Slots.clear();
    Where.clear();
    Live = 0;
  }

  std::size_t Size() const { return Live; }

  // f(key, value) for every held value, in the order they were added.
  template <typename F> void ForEach(F&& f) const {
    for (const Slot& slot : Slots)
      if (slot.Held)
        f(slot.Key, slot.Value);
  }

private:
  struct Slot {
    vtkIdType Key;
    T Value;
    bool Held;
  };

  void Compact() {
    std::vector<Slot> held;
    held.reserve(Live);
    Where.clear();
    for (Slot& slot : Slots)
      if (slot.Held) {
        Where[slot.Key].push_back(held.size());
        held.push_back(std::move(slot));
      }
    Slots = std::move(held);
  }

  std::vector<Slot> Slots;
  std::unordered_map<vtkIdType, std::vector<std::size_t>> Where;
  std::size_t Live = 0;
};

} // namespace selvane
