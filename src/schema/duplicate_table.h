// Finds, among the nodes accepted at one level, a node equal to a new one
// without comparing it with all of them.
//
// What holds: nodes that compare equal always hash alike. The table owns its
// slot array only (Release frees it); the nodes belong to the level. Answers
// never depend on memory: a table that cannot grow walks the list instead.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvcfg {

struct ConvertedNode;
union NodeValue;
enum class ValueKind : std::uint32_t;

// False when the node never compares equal to another node (an enumeration
// list, an address of an unknown form). Nodes that compare equal always hash
// alike; a structure hashes only its key children, or its child names.
[[nodiscard]] bool HashNode(const ConvertedNode *node, std::uint64_t *out);

// The steps HashNode takes, for hashing a value loaded from a node alike:
// start from the name and kind, add the scalar (false for one that is never
// equal to another), combine the key children's hashes or the sum of the
// child names' hashes, finish.
[[nodiscard]] std::uint64_t SiblingHashStart(const char *name, ValueKind kind);
[[nodiscard]] std::uint64_t SiblingNameHash(const char *name);
[[nodiscard]] bool SiblingHashAdd(ValueKind kind, const NodeValue &value, std::uint64_t *h);
[[nodiscard]] std::uint64_t SiblingHashCombine(std::uint64_t h, std::uint64_t part);
[[nodiscard]] std::uint64_t SiblingHashFinish(std::uint64_t h);

// Open addressing over the scrambled hash, made once a level holds more than
// a few nodes (until then the list is walked). If the table cannot grow it
// falls back to walking the accepted list, so answers never depend on memory.
// A plain record so that levels can live in an explicit stack; Release frees.
struct DuplicateTable {
  struct Slot {
    std::uint64_t hash;
    const ConvertedNode *node;
  };
  static constexpr std::size_t kWalked = 8;  // nodes compared by walking the list
  Slot *slots;
  std::size_t capacity;
  std::size_t used;  // nodes added
  bool failed;

  // The accepted node equal to node, or null; accepted is the level's list.
  // *undecided says that a comparison ran out of memory (the answer is then
  // null and tells nothing).
  [[nodiscard]] const ConvertedNode *FindEqual(const ConvertedNode *node,
                                               const ConvertedNode *accepted, bool *undecided);
  // node has just been appended to accepted, the level's list.
  void Add(const ConvertedNode *node, const ConvertedNode *accepted);
  void Release();

 private:
  void Place(const ConvertedNode *node);
  [[nodiscard]] bool Grow();
};

inline constexpr DuplicateTable kEmptyDuplicateTable{nullptr, 0, 0, false};

}  // namespace qorvcfg
