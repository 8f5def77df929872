// Input: a data text. Reads it into a handle of a definition that uses every
// type, checks every listing, writes the values out and reads the file into a
// second handle, which must hold the same values apart from the texts and
// addresses that the file layout cannot carry; then reads the text a second
// time into the first handle, which must refuse the repeated values and end
// up empty. A read that reports what it leaves out keeps the same values.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "fuzz_support.h"
#include "platform/platform.h"
#include "qorvcfg_diagnostics.h"

namespace qorvcfg::fuzz {
namespace {

ScratchFile &DefinitionFile() {
  static ScratchFile file("rich.def.xml");
  static bool written = false;
  if (!written) {
    file.Write(kRichDefinition);
    written = true;
  }
  return file;
}

ConfigHandle *NewHandle() {
  ConfigHandle *handle = nullptr;
  Check(Zel_ConfigCreate(DefinitionFile().path(), &handle) == Zel_OK, "creating the handle");
  return handle;
}

std::size_t TopLevelCount(ConfigHandle *handle) {
  std::size_t total = 0;
  for (const ItemDefinition *item : ItemsOf(handle->items)) {
    total += ValuesOf(handle, nullptr, item->name).size();
  }
  return total;
}

// True when reading the same text again must meet a value equal to one of
// the first read: any scalar, or a value of a keyed structure item all of
// whose values hold a value of each identifier item. Structures that miss an
// identifier (or, without identifier items, a member) compare by identity
// with some values and by contents with others, an order under which the
// index may or may not meet an equal value, depending on addresses.
bool RereadMustCollide(ConfigHandle *handle) {
  for (const ItemDefinition *item : ItemsOf(handle->items)) {
    const std::vector<DataRecord *> values = ValuesOf(handle, nullptr, item->name);
    if (values.empty()) continue;
    if (item->type != Zel_TYPE_STRUCTURE) return true;
    bool keyed = false;
    bool complete = true;
    for (const ItemDefinition *child : ItemsOf(item->children)) {
      if (child->identifier == 0) continue;
      keyed = true;
      for (DataRecord *record : values) {
        complete = complete && !ValuesOf(handle, record, child->name).empty();
      }
    }
    if (keyed && complete) return true;
  }
  return false;
}

// The second handle must hold what the first held, item by item, except for
// items where some value is lossy: those may only have lost values.
void CompareRoundTrip(ConfigHandle *original, ConfigHandle *reread) {
  for (const ItemDefinition *item : ItemsOf(original->items)) {
    std::vector<std::string> before;
    std::vector<std::string> after;
    bool lossy = false;
    for (DataRecord *record : ValuesOf(original, nullptr, item->name)) {
      ValueSummary value = Summarize(original, record, item);
      lossy = lossy || value.lossy;
      before.push_back(std::move(value.text));
    }
    for (DataRecord *record : ValuesOf(reread, nullptr, item->name)) {
      after.push_back(Summarize(reread, record, item).text);
    }
    const std::string name = item->name;
    if (lossy) {
      Check(after.size() <= before.size(), name + " gained values in a write and a read");
      continue;
    }
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    if (before != after) {
      std::string what = name + " changed in a write and a read:\n";
      for (const std::string &text : before) what += "  before " + text + "\n";
      for (const std::string &text : after) what += "  after  " + text + "\n";
      Fail(what);
    }
  }
}

// A read that reports what it leaves out tells repeats apart as each value
// comes; a plain read leaves some for its end. Both must keep the same
// values, item by item (values ordered by address may list in another order).
void CompareWithReportingRead(const std::string &text, ConfigHandle *plain, ResultCode read) {
  ConfigHandle *reporting = NewHandle();
  const ResultCode observed = Qorvcfg_ConfigReadFromDataObserved(
      text.c_str(), reporting, [](void *, const QorvcfgDiagnostic *) {}, nullptr);
  Check(observed == read, "a read that reports answers as a plain read");
  for (const ItemDefinition *item : ItemsOf(plain->items)) {
    std::vector<std::string> kept[2];
    ConfigHandle *handles[2] = {plain, reporting};
    for (int h = 0; h < 2; ++h) {
      for (DataRecord *record : ValuesOf(handles[h], nullptr, item->name)) {
        kept[h].push_back(Summarize(handles[h], record, item).text);
      }
      std::sort(kept[h].begin(), kept[h].end());
    }
    Check(kept[0] == kept[1], std::string(item->name) + " differs when the read reports");
  }
  Zel_ConfigDestroy(reporting);
}

}  // namespace
}  // namespace qorvcfg::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace qorvcfg::fuzz;
  static ScratchFile written("written.xml");
  const std::string text(reinterpret_cast<const char *>(data), size);

  const std::int64_t live_before = qorvcfg::platform::LiveAllocations();
  ConfigHandle *first = NewHandle();
  const ResultCode read = Zel_ConfigReadFromData(text.c_str(), first);
  std::unordered_set<DataRecord *> seen;
  CheckLevel(first, nullptr, first->items, true, &seen);
  if (read != Zel_OK) Check(seen.empty(), "a failed read leaves values behind");

  CompareWithReportingRead(text, first, read);
  const ValueSummary loaded = SummarizeLevel(first, nullptr, first->items);
  Check(Zel_ConfigWrite(written.path(), first) == Zel_OK, "writing the values");
  ConfigHandle *second = NewHandle();
  const ResultCode reread = Zel_ConfigRead(written.path(), second);
  if (!loaded.spills) {
    Check(reread == Zel_OK, "reading back what was written");
    CompareRoundTrip(first, second);
  }
  seen.clear();
  CheckLevel(second, nullptr, second->items, true, &seen);
  Zel_ConfigDestroy(second);

  const std::size_t before = TopLevelCount(first);
  const bool must_collide = read == Zel_OK && RereadMustCollide(first);
  const ResultCode again = Zel_ConfigReadFromData(text.c_str(), first);
  if (read != Zel_OK) {
    Check(again == read, "a failed read fails the same way again");
    Check(TopLevelCount(first) == 0, "a failed read leaves values behind");
  } else if (must_collide) {
    Check(again == Zel_EEXIST, "reading the same values again must meet equal values");
    Check(TopLevelCount(first) == 0, "a read that met an equal value must empty the handle");
  } else if (again == Zel_OK) {
    Check(TopLevelCount(first) == 2 * before, "a second read adds every value again");
  } else {
    Check(again == Zel_EEXIST, "reading the same values again");
    Check(TopLevelCount(first) == 0, "a read that met an equal value must empty the handle");
  }
  seen.clear();
  CheckLevel(first, nullptr, first->items, false, &seen);
  Zel_ConfigDestroy(first);
  Check(qorvcfg::platform::LiveAllocations() == live_before, "destroying left blocks behind");
  return 0;
}
