// Input: a data text followed by two bytes that pick an edit of the tool
// (set, add or del of some value) and its number. The edit step patches the
// text; what it gives must read back to the values that the same change
// makes through the library in a handle read from the text, and it may
// differ from the text only inside the elements the change touched (a
// changed value's text, a deleted value's lines, the content of the element
// a new value went into).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "edit_patches.h"
#include "edit_step.h"
#include "file_replace.h"
#include "fuzz_support.h"
#include "tool.h"

namespace qorvcfg::fuzz {
namespace {

using qorvcfg_tool::Edit;

const std::string &DefinitionPath() {
  static ScratchFile file("edit.def.xml");
  static bool written = false;
  if (!written) {
    file.Write(kRichDefinition);
    written = true;
  }
  static const std::string path = file.path();
  return path;
}

struct Change {
  Edit edit;
  std::string argument;
};

Change PickChange(unsigned which, unsigned k) {
  const std::string n = std::to_string(k);
  const std::string route = "route[" + std::to_string(k % 4) + "]";
  const std::string hop = route + "/hop[" + std::to_string(k % 3) + "]";
  const char *const modes[] = {"slow", "fast", "off"};
  switch (which % 22) {
    case 0:
      return {Edit::kSet, "num=" + n};
    case 1:
      return {Edit::kAdd, "num=" + n};
    case 2:
      return {Edit::kDel, "num"};
    case 3:
      return {Edit::kDel, "num=" + std::to_string(k % 8)};
    case 4:
      return {Edit::kAdd, "big=0x" + n};
    case 5:
      return {Edit::kAdd, "text=t" + n};
    case 6:
      return {Edit::kSet, "word=w" + n};
    case 7:
      return {Edit::kAdd, "addr=10.0.0." + n};
    case 8:
      return {Edit::kDel, "addr"};
    case 9:
      return {Edit::kAdd, std::string("flag=") + (k & 1 ? "TRUE" : "false")};
    case 10:
      return {Edit::kAdd, std::string("mode=") + modes[k % 3]};
    case 11:
      return {Edit::kAdd, "route=" + std::to_string(k % 4)};
    case 12:
      return {Edit::kSet, route + "/via=1.2.3." + n};
    case 13:
      return {Edit::kAdd, hop + "/note=n" + n};
    case 14:
      return {Edit::kDel, route};
    case 15:
      return {Edit::kDel, hop};
    case 16:
      return {Edit::kSet, hop + "/on=TRUE"};
    case 17:
      return {Edit::kSet, "pair/a=" + n};
    case 18:
      return {Edit::kDel, "text"};
    case 19:
      return {Edit::kSet, route + "/zone=z" + n};
    case 20:
      return {Edit::kAdd, route + "/via=::" + n};
    default:
      return {Edit::kDel, route + "/via"};
  }
}

struct Range {
  std::size_t begin, end;
};

std::size_t LineStart(const std::string &text, std::size_t at) {
  const std::size_t feed = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
  return feed == std::string::npos ? 0 : feed + 1;
}

// Where the change may touch the text: for each value it changed, deleted
// or added, the bytes that belong to that value or take it in.
std::vector<Range> Touchable(const qorvcfg_tool::PlacedRead &read,
                             const qorvcfg_tool::ValueSnapshot &before,
                             const qorvcfg_tool::ValueSnapshot &after, const std::string &text) {
  std::vector<Range> ranges;
  auto span = [&](const DataRecord *value) {
    const auto found = read.places.find(value);
    Check(found != read.places.end(), "a value of the read without a place");
    return found->second.span;
  };
  for (const auto &now : after.Entries()) {
    const auto *was = before.Find(now.value);
    if (was != nullptr) {
      if (was->exact != now.exact) {
        const qorvcfg_tool::ElementSpan s = span(now.value);
        ranges.push_back(s.text_end > s.text_begin ? Range{s.text_begin, s.text_end}
                                                   : Range{s.begin, s.end});
      }
      continue;
    }
    const DataRecord *parent = now.level.record;
    if (parent != nullptr && before.Find(parent) == nullptr) continue;
    if (parent != nullptr || read.root) {
      const qorvcfg_tool::ElementSpan s = parent != nullptr ? span(parent) : *read.root;
      ranges.push_back(s.content_begin == s.end ? Range{s.begin, s.end}
                                                : Range{s.content_begin, s.content_end});
    } else {
      ranges.push_back({text.size(), text.size()});
    }
  }
  for (const auto &was : before.Entries()) {
    if (after.Find(was.value) != nullptr) continue;
    const DataRecord *parent = was.level.record;
    if (parent != nullptr && after.Find(parent) == nullptr) continue;
    const qorvcfg_tool::ElementSpan s = span(was.value);
    std::size_t end = text.find('\n', s.end);
    end = end == std::string::npos ? text.size() : end + 1;
    std::size_t begin = LineStart(text, s.begin);
    if (end == text.size() && begin > 0) begin = LineStart(text, begin - 1);
    ranges.push_back({begin, end});
  }
  return ranges;
}

void CheckEdit(const std::string &text, const std::vector<Change> &changes) {
  qorvcfg_tool::EditRequest request;
  request.edit = changes.front().edit;
  request.definition = DefinitionPath();
  request.data = "fuzz.conf";
  request.target = request.data;
  request.quiet = true;
  for (const Change &change : changes) request.changes.push_back(change.argument);

  // The same change through the library alone, on a plain read.
  qorvcfg_tool::PlacedRead read = qorvcfg_tool::ReadPlaced(request.definition, request.data, text);
  const bool readable = read.result == Zel_OK && read.session.report.CountFor(request.data) == 0;
  std::vector<Range> touchable;
  bool changed = false;
  std::string expected;
  try {
    for (const Change &change : changes) {
      const qorvcfg_tool::ValueSnapshot before(read.session.handle.get());
      qorvcfg_tool::ApplyChange(read.session.handle.get(), change.edit, change.argument, false);
      const qorvcfg_tool::ValueSnapshot after(read.session.handle.get());
      if (changes.size() == 1) touchable = Touchable(read, before, after, text);
    }
    expected = qorvcfg_tool::ValuesDump(read.session.handle.get());
    changed = true;
  } catch (const qorvcfg_tool::ToolError &) {
    changed = false;
  }

  qorvcfg_tool::EditResult result;
  try {
    result = qorvcfg_tool::EditText(request, text, true);
  } catch (const qorvcfg_tool::ToolError &error) {
    // Refused: a read that left something out, a change the library
    // refused, or a text that would not read back (a structure emptied).
    Check(!readable || !changed || error.status == qorvcfg_tool::kCannotWrite,
          "the edit step refused a change the library made: " + error.message);
    if (readable && changed) {
      // Refused as not reading back: so must the writer's form be.
      static ScratchFile written("edit.written.xml");
      ConfigHandle *reread = nullptr;
      Check(Zel_ConfigWrite(written.path(), read.session.handle.get()) == Zel_OK, "writing");
      Check(Zel_ConfigCreate(request.definition.c_str(), &reread) == Zel_OK, "creating a handle");
      const bool same = Zel_ConfigRead(written.path(), reread) == Zel_OK &&
                        qorvcfg_tool::ValuesDump(reread) == expected;
      Zel_ConfigDestroy(reread);
      Check(!same, "the edit step refused what the writer writes: " + error.message);
    }
    return;
  }
  Check(readable && changed, "the edit step made a change that the library refused");

  ConfigHandle *reread = nullptr;
  Check(Zel_ConfigCreate(request.definition.c_str(), &reread) == Zel_OK, "creating a handle");
  Check(Zel_ConfigReadFromData(result.text.c_str(), reread) == Zel_OK, "reading the edited text");
  Check(qorvcfg_tool::ValuesDump(reread) == expected,
        "the edited text does not hold the values the change made");
  Zel_ConfigDestroy(reread);
  Check(result.changed == (result.text != text), "changed says otherwise than the text");

  if (changes.size() != 1 || !result.changed) return;
  // The bytes before and after what the change touched are as they were.
  Check(!touchable.empty(), "the text changed though no value did");
  std::size_t low = touchable.front().begin, high = touchable.front().end;
  for (const Range &range : touchable) {
    low = std::min(low, range.begin);
    high = std::max(high, range.end);
  }
  const std::string &now = result.text;
  const std::size_t tail = text.size() - high;
  Check(now.size() >= low + tail && now.compare(0, low, text, 0, low) == 0 &&
            now.compare(now.size() - tail, tail, text, high, tail) == 0,
        "bytes changed outside " + std::to_string(low) + ".." + std::to_string(high) +
            ", the elements the change touched");
}

}  // namespace
}  // namespace qorvcfg::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace qorvcfg::fuzz;
  if (size < 2) return 0;
  const unsigned which = data[size - 2];
  const unsigned k = data[size - 1];
  std::string text(reinterpret_cast<const char *>(data), size - 2);
  text.resize(std::min(text.size(), text.find('\0')));  // a zero byte ends a text
  std::vector<Change> changes{PickChange(which & 0x7F, k)};
  if (which & 0x80) changes.push_back(PickChange(k, which));
  // Changes of one command are all set, all add or all del.
  changes.resize(changes.size() == 2 && changes[1].edit != changes[0].edit ? 1 : changes.size());
  CheckEdit(text, changes);
  return 0;
}
