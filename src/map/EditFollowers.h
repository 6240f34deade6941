// What keeps work of its own over a map's cells, a field toward a goal say, and follows the map's
// edits: the map tells each of them which segments an edit touched, at the edit, while nothing
// else uses the map.
#pragma once

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <vector>

namespace varnholt {

class TEditFollower {
 public:
  virtual ~TEditFollower() = default;
  // Segments I0 ... I1 by J0 ... J1 changed their cells; those about them their contacts.
  virtual void Edited(std::size_t I0, std::size_t I1, std::size_t J0, std::size_t J1) = 0;
};

// The followers of one map. They come and go from any thread, beside the map's queries.
class TEditFollowers {
 public:
  void Add(TEditFollower* Follower) {
    const std::lock_guard<std::mutex> Lock(Guard);
    List.push_back(Follower);
  }
  void Remove(TEditFollower* Follower) {
    const std::lock_guard<std::mutex> Lock(Guard);
    List.erase(std::remove(List.begin(), List.end(), Follower), List.end());
  }
  void Tell(std::size_t I0, std::size_t I1, std::size_t J0, std::size_t J1) {
    const std::lock_guard<std::mutex> Lock(Guard);
    for (TEditFollower* Follower : List) Follower->Edited(I0, I1, J0, J1);
  }

 private:
  std::mutex Guard;
  std::vector<TEditFollower*> List;
};

}  // namespace varnholt
