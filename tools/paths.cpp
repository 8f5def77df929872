#include "paths.h"

#include "value_input.h"

namespace qorvcfg_tool {

std::vector<Segment> ParsePath(const std::string &path) {
  std::vector<Segment> segments;
  std::size_t start = 0;
  while (true) {
    std::size_t end = path.find('/', start);
    std::string text = path.substr(start, end == std::string::npos ? end : end - start);
    Segment segment;
    std::size_t open = text.find('[');
    if (open != std::string::npos) {
      if (text.back() != ']' || open == 0) UsageFail("bad pick in path: " + path);
      segment.pick = text.substr(open + 1, text.size() - open - 2);
      text.resize(open);
    }
    if (text.empty()) UsageFail("empty name in path: " + path);
    segment.name = text;
    segments.push_back(segment);
    if (end == std::string::npos) return segments;
    start = end + 1;
  }
}

void CheckEdit(ResultCode result, const std::string &context) {
  if (result == Zel_OK) return;
  if (result == Zel_EEXIST) Fail(kValueRefused, context, "already present", result);
  if (result == Zel_ENOMEM) Fail(kInvalidFile, context, "out of memory", result);
  Fail(kValueRefused, context, "refused by the library", result);
}

void CheckRoom(const Level &level, const ItemDefinition *item, const std::string &path) {
  if (item->number == 0) return;
  const std::size_t count = level.Values(item).size();
  if (count >= item->number) {
    Fail(kValueRefused, path,
         "already holds " + std::to_string(count) + (count == 1 ? " value" : " values") +
             ", its most",
         Zel_ERANGE);
  }
}

std::vector<DataRecord *> Picked(const Level &level, const ItemDefinition *item,
                                 const std::optional<std::string> &pick) {
  std::vector<DataRecord *> values = level.Values(item);
  if (!pick) return values;
  std::string wanted = Canonical(IdentifierItem(item), *pick);
  std::vector<DataRecord *> picked;
  for (DataRecord *value : values) {
    if (IdentifierText(level, item, value) == wanted) picked.push_back(value);
  }
  return picked;
}

void FailNoPick(const std::string &path, const ItemDefinition *item, const std::string &pick) {
  Fail(kNotFound, path,
       std::string("no ") + item->name + " with " + IdentifierItem(item)->name + " " + pick,
       Zel_ENOENT);
}

DataRecord *MakeStructure(const Level &level, const ItemDefinition *item,
                          const std::optional<std::string> &id_text, bool force) {
  DataRecord *value = level.Create(item);
  if (id_text) {
    const ItemDefinition *id = IdentifierItem(item);
    Level inside = level.Inside(value, item);
    DataRecord *id_value = inside.Create(id);
    ConvertedValue contents;
    std::string context = std::string(item->name) + "/" + id->name + "=" + *id_text;
    ConvertForEdit(id, *id_text, context, force, &contents);
    CheckEdit(inside.Change(id_value, contents.Pointer()), context);
    CheckEdit(inside.Add(id_value), context);
  }
  return value;
}

Target Resolve(ConfigHandle *handle, const std::string &path, bool make, bool force) {
  std::vector<Segment> segments = ParsePath(path);
  Target target{{}, TopLevel(handle), nullptr, std::nullopt};
  bool making = false;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Segment &segment = segments[i];
    const ItemDefinition *item = FindItem(target.level.items, segment.name);
    if (!item) {
      const ItemDefinition *closest = ClosestItem(target.level.items, segment.name);
      Fail(kNotFound, path,
           "no item " + segment.name + " at this level" +
               (closest ? "; did you mean " + std::string(closest->name) + "?" : "") +
               "; its items: " + ItemNames(target.level.items),
           Zel_ENOTFOUND);
    }
    if (segment.pick && (item->type != Zel_TYPE_STRUCTURE || !IdentifierItem(item))) {
      UsageFail(path + ": " + segment.name + " has no identifier item to pick a value by");
    }
    if (i + 1 == segments.size()) {
      target.item = item;
      target.pick = segment.pick;
      return target;
    }
    if (item->type != Zel_TYPE_STRUCTURE)
      UsageFail(path + ": " + segment.name + " is no structure");
    std::vector<DataRecord *> values =
        making ? std::vector<DataRecord *>{} : Picked(target.level, item, segment.pick);
    if (values.size() > 1) {
      Fail(kUsageError, path,
           segment.name + " has " + std::to_string(values.size()) + " values; pick one with " +
               segment.name + "[...]",
           Zel_EINVAL);
    }
    if (values.empty()) {
      if (!make && segment.pick) FailNoPick(path, item, *segment.pick);
      if (!make) Fail(kNotFound, path, "no value of " + segment.name, Zel_ENOENT);
      CheckRoom(target.level, item, path);
      making = true;
      values.push_back(MakeStructure(target.level, item, segment.pick, force));
    }
    target.steps.push_back(Step{target.level, item, values.front(), making});
    target.level = target.level.Inside(values.front(), item);
  }
  return target;
}

}  // namespace qorvcfg_tool
