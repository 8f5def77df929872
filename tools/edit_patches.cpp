#include "edit_patches.h"

#include <algorithm>

#include "qorvcfg_diagnostics.h"
#include "tool.h"
#include "value_format.h"
#include "value_walk.h"

namespace qorvcfg_tool {
namespace {

// A value's type and payload as text, different for any two values that
// differ in a byte the value holds.
std::string ExactText(ItemType type, const DataPayload &payload) {
  auto counted = [](const char *text) {
    if (text == nullptr) return std::string("-");
    const std::string bytes(text);
    return std::to_string(bytes.size()) + ":" + bytes;
  };
  switch (type) {
    case Zel_TYPE_INTEGER:
      return "i" + std::to_string(payload.integer);
    case Zel_TYPE_STRING:
      return "s" + counted(payload.text);
    case Zel_TYPE_BOOLEAN:
      return "b" + std::to_string(payload.boolean);
    case Zel_TYPE_ENUMERATION:
      return "k" + counted(payload.keyword);
    case Zel_TYPE_IPADDR: {
      const IpAddressValue &ip = payload.ipaddr;
      std::string text = "a" + std::to_string(ip.form) + "," + std::to_string(ip.family) + ",";
      for (std::uint8_t byte : ip.address)
        text += "0123456789abcdef"[byte >> 4], text += "0123456789abcdef"[byte & 15];
      text += ",";
      for (std::uint8_t byte : ip.mask)
        text += "0123456789abcdef"[byte >> 4], text += "0123456789abcdef"[byte & 15];
      return text + "," + counted(ip.host_name);
    }
    default:
      return "t" + std::to_string(type);
  }
}

// Whether text, as an element's text, reads back as itself (the core's rule
// for a string's text), with no zero byte that would cut it short.
bool StandsAsText(const std::string &text) {
  if (text.find('\0') != std::string::npos) return false;
  DataPayload payload{};
  payload.text = const_cast<char *>(text.c_str());
  return Qorvcfg_ValueReadBack(Zel_TYPE_STRING, &payload) == QORVCFG_READ_BACK_SAME;
}

// The text a new or changed value is written with.
std::string TextFor(const DataRecord *value, const ItemDefinition *item,
                    const std::vector<std::string> &typed) {
  const std::string exact = ExactText(value->type, value->payload);
  for (const std::string &text : typed) {
    if (!StandsAsText(text)) continue;
    DataPayload payload{};
    if (Qorvcfg_ValueFromText(item, text.c_str(), &payload, nullptr, 0) != Zel_OK) continue;
    const bool same = ExactText(item->type, payload) == exact;
    Qorvcfg_ValueRelease(item->type, &payload);
    if (same) return text;
  }
  return PayloadText(value->type, value->payload);
}

// A new value as lines of markup: one element, or a structure's block.
Block BlockFor(const ValueSnapshot::Entry &entry, const std::vector<std::string> &typed) {
  Block block;
  const std::vector<DataRecord *> given{entry.value};
  for (const Event &event : Walk(entry.level, entry.item, &given)) {
    const std::string name = event.item->name;
    switch (event.mark) {
      case Mark::kStructBegin:
        block.push_back({event.depth, "<" + name + ">"});
        break;
      case Mark::kStructEnd:
        block.push_back({event.depth, "</" + name + ">"});
        break;
      case Mark::kScalar:
        block.push_back({event.depth, "<" + name + ">" + TextFor(event.value, event.item, typed) +
                                          "</" + name + ">"});
        break;
      default:
        break;
    }
  }
  return block;
}

void OnSpan(void *context, const QorvcfgValueSpan *span) noexcept {
  auto *read = static_cast<PlacedRead *>(context);
  const ElementSpan element{span->element_begin, span->element_end, span->content_begin,
                            span->content_end,   span->text_begin,  span->text_end};
  try {
    if (span->value == nullptr) {
      read->root = element;
    } else {
      read->places[span->value] = ValuePlace{element, span->parent};
    }
  } catch (...) {
    read->result = Zel_ENOMEM;  // a place lost: the read cannot be used
  }
}

}  // namespace

PlacedRead ReadPlaced(const std::string &definition, const std::string &name,
                      const std::string &text) {
  PlacedRead read;
  read.session = OpenDefinition(definition);
  read.session.data_path = name;
  read.session.report.file = name;
  const ResultCode result =
      Qorvcfg_ConfigReadFromDataSpans(text.c_str(), read.session.handle.get(),
                                      ReadReport::Observer(), &read.session.report, &OnSpan, &read);
  if (read.result == Zel_OK) read.result = result;
  if (read.result == Zel_OK && read.session.report.CountFor(name) == 0) {
    NoteUnreported(read.session, text);
  }
  return read;
}

std::string ValuesDump(ConfigHandle *handle) {
  struct Frame {
    std::string out;
    std::vector<std::string> values;  // of the item being walked
  };
  std::vector<Frame> stack(1);
  for (const Event &event : Walk(TopLevel(handle), handle->items, nullptr)) {
    switch (event.mark) {
      case Mark::kItemBegin:
        stack.back().values.clear();
        break;
      case Mark::kScalar:
        stack.back().values.push_back(ExactText(event.value->type, event.value->payload));
        break;
      case Mark::kStructBegin:
        stack.emplace_back();
        break;
      case Mark::kStructEnd: {
        std::string inner = "{" + stack.back().out + "}";
        stack.pop_back();
        stack.back().values.push_back(std::move(inner));
        break;
      }
      case Mark::kItemEnd: {
        Frame &frame = stack.back();
        std::sort(frame.values.begin(), frame.values.end());
        frame.out += std::string(event.item->name) + "=[";
        for (const std::string &value : frame.values) frame.out += value + ";";
        frame.out += "]";
        break;
      }
    }
  }
  return stack.front().out;
}

ValueSnapshot::ValueSnapshot(ConfigHandle *handle) {
  for (const Event &event : Walk(TopLevel(handle), handle->items, nullptr)) {
    if (event.mark != Mark::kScalar && event.mark != Mark::kStructBegin) continue;
    at_[event.value] = entries_.size();
    entries_.push_back({event.value, event.item, event.level,
                        event.mark == Mark::kScalar
                            ? ExactText(event.value->type, event.value->payload)
                            : std::string()});
  }
}

const ValueSnapshot::Entry *ValueSnapshot::Find(const DataRecord *value) const {
  const auto found = at_.find(value);
  return found == at_.end() ? nullptr : &entries_[found->second];
}

std::vector<TextPatch> PlanPatches(const PlacedRead &read, const ValueSnapshot &before,
                                   std::string_view text, const std::vector<std::string> &typed) {
  const ValueSnapshot after(read.session.handle.get());
  const Layout layout(text);
  auto place = [&](const DataRecord *value) -> const ValuePlace & {
    const auto found = read.places.find(value);
    if (found == read.places.end()) {
      throw ToolError{kCannotWrite, "a value without a place in the text read"};
    }
    return found->second;
  };
  std::vector<TextPatch> patches;
  for (const ValueSnapshot::Entry &now : after.Entries()) {
    const ValueSnapshot::Entry *was = before.Find(now.value);
    if (was != nullptr) {
      if (now.exact != was->exact) {
        patches.push_back(layout.SetText(place(now.value).span, now.item->name,
                                         TextFor(now.value, now.item, typed)));
      }
      continue;
    }
    const DataRecord *parent = now.level.record;
    if (parent != nullptr && before.Find(parent) == nullptr) continue;  // in a new block
    // After the last element of the same item at this level, else after the
    // last element of the level, else inside the level's own element.
    const ElementSpan *same = nullptr;
    const ElementSpan *any = nullptr;
    for (const ValueSnapshot::Entry &sibling : before.Entries()) {
      if (sibling.level.record != parent || after.Find(sibling.value) == nullptr) continue;
      const ElementSpan &span = place(sibling.value).span;
      if (any == nullptr || span.end > any->end) any = &span;
      if (sibling.item == now.item && (same == nullptr || span.end > same->end)) same = &span;
    }
    const Block block = BlockFor(now, typed);
    if (same != nullptr || any != nullptr) {
      patches.push_back(layout.InsertAfter(same != nullptr ? *same : *any, block));
    } else if (parent != nullptr) {
      patches.push_back(layout.InsertInside(place(parent).span, block));
    } else if (read.root) {
      patches.push_back(layout.InsertInside(*read.root, block));
    } else {
      patches.push_back(layout.AppendRoot("config", block));
    }
  }
  for (const ValueSnapshot::Entry &was : before.Entries()) {
    if (after.Find(was.value) != nullptr) continue;
    const DataRecord *parent = was.level.record;
    if (parent != nullptr && after.Find(parent) == nullptr) continue;  // goes with its structure
    patches.push_back(layout.Remove(place(was.value).span));
  }
  return patches;
}

}  // namespace qorvcfg_tool
