// Item paths typed on the command line ("upstream[alpha]/port"), where they
// lead, and changes made there that keep the value indexes in order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "levels.h"
#include "tool.h"

namespace qorvcfg_tool {

struct Segment {
  std::string name;
  std::optional<std::string> pick;  // the identifier text in [ ]
};

// The segments of path; a usage error for an empty name or a bad pick.
std::vector<Segment> ParsePath(const std::string &path);

// A structure value on the way to the target.
struct Step {
  Level parent;  // where the structure value is held
  const ItemDefinition *item;
  DataRecord *value;
  bool made;  // made by this command and not added yet
};

// Where a path leads: the level holding the last item, and the structures
// passed on the way (outermost first).
struct Target {
  std::vector<Step> steps;
  Level level;
  const ItemDefinition *item;
  std::optional<std::string> pick;
};

// Follows path from the top of handle. With make, structures on the way that
// do not exist yet are made (not added: Apply adds them), with the picked
// identifier; force is passed to the identifier's conversion.
Target Resolve(ConfigHandle *handle, const std::string &path, bool make, bool force);

// The values of item at level whose identifier is pick (all without a pick).
std::vector<DataRecord *> Picked(const Level &level, const ItemDefinition *item,
                                 const std::optional<std::string> &pick);

[[noreturn]] void FailNoPick(const std::string &path, const ItemDefinition *item,
                             const std::string &pick);

// A failed add, change or delete of the library, in words.
void CheckEdit(ResultCode result, const std::string &context);

// Refuses one more value of item at level when it holds its most already.
void CheckRoom(const Level &level, const ItemDefinition *item, const std::string &path);

// A new structure value, not added yet, whose identifier is id_text.
DataRecord *MakeStructure(const Level &level, const ItemDefinition *item,
                          const std::optional<std::string> &id_text, bool force);

// Whether changing values of child inside a value of structure can change
// how that structure value compares with its siblings.
inline bool TouchesIdentity(const ItemDefinition *structure, const ItemDefinition *child) {
  return child->identifier || !IdentifierItem(structure);
}

// Runs change on target, keeping the value indexes in order: a structure
// whose identity the change touches is taken out of its index first and put
// back afterwards; structures made on the way are added last, innermost
// first, when their contents are complete.
template <typename Change>
void Apply(Target &target, const std::string &context, Change change) {
  std::size_t linked = 0;
  while (linked < target.steps.size() && !target.steps[linked].made) ++linked;
  const ItemDefinition *child =
      linked < target.steps.size() ? target.steps[linked].item : target.item;
  std::size_t detach = linked;
  while (detach > 0 && TouchesIdentity(target.steps[detach - 1].item, child)) {
    child = target.steps[--detach].item;
  }
  if (detach < linked) {
    Step &step = target.steps[detach];
    CheckEdit(step.parent.Del(step.value), context);
  }
  change();
  for (std::size_t i = target.steps.size(); i-- > linked;) {
    CheckEdit(target.steps[i].parent.Add(target.steps[i].value), context);
  }
  if (detach < linked) {
    Step &step = target.steps[detach];
    CheckEdit(step.parent.Add(step.value), context);
  }
}

}  // namespace qorvcfg_tool
