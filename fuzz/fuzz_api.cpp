// Input: bytes that drive a sequence of calls on one handle: make values from
// defaults, fetch stored values, change, add and delete them, through both
// forms, with the mistakes a host makes (the wrong parent, a second add or
// delete, a change of a deleted value). After every call every listing must
// hold each value once, in order, within its item's number, and each value
// must be in one place only; at the end the handle writes and reads back, and
// destroying it releases every block.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <unordered_set>
#include <vector>

#include "fuzz_support.h"
#include "platform/platform.h"

namespace qorvcfg::fuzz {
namespace {

constexpr std::size_t kMaxSteps = 256;
constexpr std::size_t kMaxValues = 64;

constexpr const char *kSeedData =
    "<config><num>5</num><num>-3</num><big>1</big><text>alpha</text><word>ab</word>"
    "<flag>TRUE</flag><addr>10.0.0.1</addr><addr>gw.example</addr><mode>off</mode>"
    "<route><id>1</id><zone>n</zone><via>10.0.0.9</via><hop><id>1</id><note>a</note></hop>"
    "<hop><id>2</id></hop></route><route><id>2</id><zone>n</zone></route>"
    "<pair><a>1</a><b>x</b></pair><pair><a>2</a></pair></config>";

// A value the sequence has a record of, with the level it was made for or
// last added to (null: the top level) and its item.
struct Held {
  DataRecord *record;
  DataRecord *parent;
  const ItemDefinition *item;
};

// QORVCFG_FUZZ_API_TRACE=1 prints every call, for turning an input into a test.
bool Tracing() {
  static const bool trace = std::getenv("QORVCFG_FUZZ_API_TRACE") != nullptr;
  return trace;
}

void Trace(const char *call, const void *parent, const void *record, const char *name,
           ResultCode result) {
  if (Tracing()) {
    std::fprintf(stderr, "%s(parent %p, value %p of %s) = 0x%08x\n", call, parent, record, name,
                 result);
  }
}

class Sequence {
 public:
  Sequence(ConfigHandle *handle, FuzzedDataProvider *input) : handle_(handle), input_(input) {}

  void Step() {
    switch (input_->ConsumeIntegralInRange(0, 4)) {
      case 0:
        Create();
        break;
      case 1:
        Fetch();
        break;
      case 2:
        Change();
        break;
      case 3:
        Add();
        break;
      default:
        Delete();
        break;
    }
    CheckEverything();
  }

  void CheckEverything() {
    std::unordered_set<DataRecord *> seen;
    CheckLevel(handle_, nullptr, handle_->items, true, &seen);
    // Structures that are stored nowhere must hold a consistent level too.
    for (const Held &held : held_) {
      if (held.record->type != Zel_TYPE_STRUCTURE || seen.count(held.record) != 0) continue;
      std::unordered_set<DataRecord *> own;
      CheckLevel(handle_, held.record, held.item->children, true, &own);
    }
  }

 private:
  template <typename T>
  const T &Pick(const std::vector<T> &from) {
    return from[input_->ConsumeIntegralInRange<std::size_t>(0, from.size() - 1)];
  }

  // A level to work on: the top level or a held structure.
  const Held *PickStructure() {
    std::vector<const Held *> structures;
    for (const Held &held : held_) {
      if (held.record->type == Zel_TYPE_STRUCTURE) structures.push_back(&held);
    }
    if (structures.empty() || input_->ConsumeBool()) return nullptr;
    return Pick(structures);
  }

  void Remember(DataRecord *record, DataRecord *parent, const ItemDefinition *item) {
    if (held_.size() < kMaxValues) held_.push_back({record, parent, item});
  }

  void Create() {
    const Held *level = PickStructure();
    const ItemDefinition *item = Pick(ItemsOf(level ? level->item->children : handle_->items));
    DataRecord *record = nullptr;
    const ResultCode result =
        level ? Zel_DataDefaultCreateFromData(level->record, item->name, &record)
              : Zel_DataDefaultCreate(handle_, item->name, &record);
    Trace(level ? "DefaultCreateFromData" : "DefaultCreate", level ? level->record : nullptr,
          record, item->name, result);
    Check(result == Zel_OK, std::string("a value from the default of ") + item->name);
    Remember(record, level ? level->record : nullptr, item);
  }

  void Fetch() {
    const Held *level = PickStructure();
    const ItemDefinition *item = Pick(ItemsOf(level ? level->item->children : handle_->items));
    const std::vector<DataRecord *> values =
        ValuesOf(handle_, level ? level->record : nullptr, item->name);
    if (values.empty()) return;
    DataRecord *record = Pick(values);
    Trace("Get", level ? level->record : nullptr, record, item->name, Zel_OK);
    Remember(record, level ? level->record : nullptr, item);
  }

  // The parent a call passes: mostly the value's own level, sometimes a
  // wrong one (the top level, another structure, the value itself).
  DataRecord *PickParent(const Held &held) {
    if (input_->ConsumeIntegralInRange(0, 3) != 0) return held.parent;
    const Held *level = PickStructure();
    if (level != nullptr) return level->record;
    return input_->ConsumeBool() ? nullptr : held.record;
  }

  void Change() {
    if (held_.empty()) return;
    const Held &held = Pick(held_);
    DataRecord *parent = PickParent(held);
    std::int64_t integer = 0;
    std::uint32_t boolean = 0;
    IpAddressValue address{};
    std::string text;
    const void *data = nullptr;
    switch (held.record->type) {
      case Zel_TYPE_INTEGER: {
        static constexpr std::int64_t kIntegers[] = {0,
                                                     1,
                                                     -1,
                                                     2,
                                                     7,
                                                     1000,
                                                     -1000,
                                                     -1001,
                                                     1000000,
                                                     1000001,
                                                     std::numeric_limits<std::int64_t>::min(),
                                                     std::numeric_limits<std::int64_t>::max()};
        integer = kIntegers[input_->ConsumeIntegralInRange<std::size_t>(0, 11)];
        data = &integer;
        break;
      }
      case Zel_TYPE_STRING:
        text = input_->ConsumeBool()
                   ? std::string(input_->ConsumeIntegralInRange(0, 41), 'w')
                   : Pick(std::vector<std::string>{"", "a", "ab", "zz", " lead", "tail ", "n"});
        data = text.c_str();
        break;
      case Zel_TYPE_BOOLEAN:
        boolean = input_->ConsumeIntegralInRange(0u, 2u);
        data = &boolean;
        break;
      case Zel_TYPE_IPADDR:
        if (input_->ConsumeBool()) {
          address.form = Zel_IP_FORM_HOSTNAME;
          text = input_->ConsumeBool() ? "gw.example" : "a";
          address.host_name = text.data();
        } else {
          address.form = Zel_IP_FORM_NUMERIC;
          address.family = input_->ConsumeBool() ? Zel_IP_FAMILY_V4 : Zel_IP_FAMILY_V6;
          address.address[0] = 10;
          address.address[3] = input_->ConsumeIntegralInRange<std::uint8_t>(0, 3);
          if (input_->ConsumeBool()) address.mask[0] = 255;
        }
        data = &address;
        break;
      case Zel_TYPE_ENUMERATION:
        text = Pick(std::vector<std::string>{"slow", "fast", "off", "x", "y", "Fast", ""});
        data = text.c_str();
        break;
      default:
        data = &held_;  // a structure stores the pointer and nothing more
        break;
    }
    const ResultCode result = parent != nullptr ? Zel_DataChangeToData(parent, held.record, data)
                                                : Zel_DataChange(handle_, held.record, data);
    Trace("Change", parent, held.record, held.item->name, result);
    if (Tracing() && held.record->type != Zel_TYPE_STRUCTURE) {
      std::fprintf(stderr, "  to %s\n", ScalarText(*held.record).c_str());
    }
  }

  void Add() {
    if (held_.empty()) return;
    Held &held = held_[input_->ConsumeIntegralInRange<std::size_t>(0, held_.size() - 1)];
    DataRecord *parent = PickParent(held);
    const ResultCode result = parent != nullptr ? Zel_DataAddToData(parent, held.record)
                                                : Zel_DataAdd(handle_, held.record);
    Trace("Add", parent, held.record, held.item->name, result);
    if (result == Zel_OK) held.parent = parent;
  }

  void Delete() {
    if (held_.empty()) return;
    const Held &held = Pick(held_);
    DataRecord *parent = PickParent(held);
    const ResultCode result = parent != nullptr ? Zel_DataDelFromData(parent, held.record)
                                                : Zel_DataDel(handle_, held.record);
    Trace("Del", parent, held.record, held.item->name, result);
  }

  ConfigHandle *handle_;
  FuzzedDataProvider *input_;
  std::vector<Held> held_;
};

ScratchFile &DefinitionFile() {
  static ScratchFile file("api.def.xml");
  static bool written = false;
  if (!written) {
    file.Write(kRichDefinition);
    written = true;
  }
  return file;
}

}  // namespace
}  // namespace qorvcfg::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace qorvcfg::fuzz;
  static ScratchFile written("api.written.xml");
  FuzzedDataProvider input(data, size);
  const std::int64_t live_before = qorvcfg::platform::LiveAllocations();

  ConfigHandle *handle = nullptr;
  Check(Zel_ConfigCreate(DefinitionFile().path(), &handle) == Zel_OK, "creating the handle");
  if (input.ConsumeBool()) {
    Check(Zel_ConfigReadFromData(kSeedData, handle) == Zel_OK, "reading the seed values");
  }
  Sequence sequence(handle, &input);
  for (std::size_t step = 0; step < kMaxSteps && input.remaining_bytes() > 0; ++step) {
    sequence.Step();
  }

  Check(Zel_ConfigWrite(written.path(), handle) == Zel_OK, "writing the values");
  ConfigHandle *reread = nullptr;
  Check(Zel_ConfigCreate(DefinitionFile().path(), &reread) == Zel_OK, "creating a second handle");
  Check(Zel_ConfigRead(written.path(), reread) == Zel_OK, "reading back what was written");
  Zel_ConfigDestroy(reread);
  Zel_ConfigDestroy(handle);
  Check(qorvcfg::platform::LiveAllocations() == live_before, "destroying left blocks behind");
  return 0;
}
