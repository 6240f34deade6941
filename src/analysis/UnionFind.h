// The one union-find of the library, over parents held by the caller (a segment's runs in a
// fixed array, a map's regions in a vector): the labeller ties runs into areas with it, the
// regions' connectivity and the survey's waypoint graph tie regions into components. The smaller
// root survives a join, so a root is always the first member of its set in the order the caller
// numbers them.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace varnholt {

// Path halving: every node on the way is pointed at its grandparent. Where nodes are joined to
// the first of their set, one step reaches the root nearly always.
template <typename TParents>
std::uint32_t FindRoot(TParents& Parent, std::uint32_t Node) {
  while (Parent[Node] != Node) {
    Parent[Node] = Parent[Parent[Node]];
    Node = Parent[Node];
  }
  return Node;
}

// Joins the sets of A and B: the surviving root, then the other one (the same when they were one).
template <typename TParents>
std::pair<std::uint32_t, std::uint32_t> JoinSets(TParents& Parent, std::uint32_t A,
                                                 std::uint32_t B) {
  A = FindRoot(Parent, A);
  B = FindRoot(Parent, B);
  const std::uint32_t Low = A < B ? A : B;
  const std::uint32_t High = A < B ? B : A;
  Parent[High] = static_cast<std::remove_reference_t<decltype(Parent[High])>>(Low);
  return {Low, High};
}

}  // namespace varnholt
