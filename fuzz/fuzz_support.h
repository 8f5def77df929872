// Helpers shared by the fuzz targets: scratch files in memory, a definition
// that uses every type, and a walk over every value of a handle through the
// exported functions only.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/utf8.h"
#include "qorvcfg.h"

namespace qorvcfg::fuzz {

// Stops the run with a message; libFuzzer saves the input that got here.
[[noreturn]] inline void Fail(const std::string &what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::abort();
}

inline void Check(bool condition, const std::string &what) {
  if (!condition) Fail(what);
}

// A file of this process under /dev/shm (or /tmp when that is missing).
class ScratchFile {
 public:
  explicit ScratchFile(std::string_view role) {
    const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path_ =
        std::string(dir) + "/qorvcfg-fuzz-" + std::to_string(getpid()) + "-" + std::string(role);
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  ScratchFile(const ScratchFile &) = delete;
  ScratchFile &operator=(const ScratchFile &) = delete;

  void Write(const void *bytes, std::size_t size) const {
    FILE *f = std::fopen(path_.c_str(), "wb");
    if (f == nullptr) Fail("cannot write " + path_);
    if (size != 0) std::fwrite(bytes, 1, size, f);
    std::fclose(f);
  }
  void Write(std::string_view text) const { Write(text.data(), text.size()); }
  [[nodiscard]] const char *path() const { return path_.c_str(); }

 private:
  std::string path_;
};

// Every type, limits, an enumeration with a default, a keyed structure with a
// nested keyed structure, and a structure without identifier items.
inline constexpr std::string_view kRichDefinition =
    "<config_define><name>fuzz</name>\n"
    "<item><name>num</name><type>integer</type><number>0</number>"
    "<minimum>-1000</minimum><maximum>1000000</maximum><default>7</default></item>\n"
    "<item><name>big</name><type>integer</type><number>3</number></item>\n"
    "<item><name>text</name><type>string</type><number>0</number><maximum>40</maximum></item>\n"
    "<item><name>word</name><type>string</type><number>2</number>"
    "<minimum>2</minimum><maximum>8</maximum></item>\n"
    "<item><name>flag</name><type>boolean</type><number>2</number></item>\n"
    "<item><name>addr</name><type>ipaddr</type><number>0</number></item>\n"
    "<item><name>mode</name><type>enumeration</type><number>0</number>"
    "<enum><slow>Slow</slow><fast>Fast</fast><off>Off</off></enum><default>fast</default></item>\n"
    "<item><name>route</name><type>structure</type><number>0</number>\n"
    "  <item><name>id</name><type>integer</type><identifier>TRUE</identifier></item>\n"
    "  <item><name>zone</name><type>string</type><identifier>TRUE</identifier>"
    "<maximum>16</maximum></item>\n"
    "  <item><name>via</name><type>ipaddr</type><number>2</number></item>\n"
    "  <item><name>hop</name><type>structure</type><number>0</number>\n"
    "    <item><name>id</name><type>integer</type><identifier>TRUE</identifier>"
    "<minimum>0</minimum><maximum>255</maximum></item>\n"
    "    <item><name>note</name><type>string</type></item>\n"
    "    <item><name>on</name><type>boolean</type></item>\n"
    "  </item>\n"
    "</item>\n"
    "<item><name>pair</name><type>structure</type><number>4</number>\n"
    "  <item><name>a</name><type>integer</type></item>\n"
    "  <item><name>b</name><type>enumeration</type><enum><x>X</x><y>Y</y></enum></item>\n"
    "</item>\n"
    "</config_define>\n";

// The items of a level: the handle's top level, or the child items of a
// structure item.
inline std::vector<const ItemDefinition *> ItemsOf(const ItemDefinition *first) {
  std::vector<const ItemDefinition *> items;
  for (const ItemDefinition *item = first; item != nullptr; item = item->next) {
    items.push_back(item);
  }
  return items;
}

// The values of one item at one level (parent null: the top level).
inline std::vector<DataRecord *> ValuesOf(ConfigHandle *handle, DataRecord *parent,
                                          const char *name) {
  auto get = [&](DataRecord **records, std::uint32_t *count) {
    return parent != nullptr ? Zel_DataGetFromData(parent, name, records, count)
                             : Zel_DataGet(handle, name, records, count);
  };
  std::uint32_t count = 0;
  const ResultCode counted = get(nullptr, &count);
  Check(counted == Zel_OK, std::string("counting the values of ") + name);
  std::vector<DataRecord *> records(count);
  std::uint32_t listed = count;
  Check(get(records.data(), &listed) == Zel_OK, std::string("listing ") + name);
  Check(listed == count, std::string("the count of ") + name + " changed between two calls");
  return records;
}

// True when a text ends inside a character: read back, that character takes
// the bytes of the closing tag with it.
inline bool EndsInsideCharacter(const char *text) {
  const std::size_t size = std::strlen(text);
  std::size_t at = 0;
  while (at < size) at += SequenceLength(static_cast<unsigned char>(text[at]));
  return at != size;
}

// True when the value's text will not come back the same from a write and a
// read: a text holding '<', starting with white space or ending inside a
// character, an empty text, an address with a mask.
inline bool ScalarIsLossy(const DataRecord &record) {
  auto lossy_text = [](const char *text) {
    if (text == nullptr || text[0] == '\0') return true;
    if (std::strchr(text, '<') != nullptr || EndsInsideCharacter(text)) return true;
    const unsigned char first = static_cast<unsigned char>(text[0]);
    return first == ' ' || first == '\t' || first == '\n' || first == '\r';
  };
  switch (record.type) {
    case Zel_TYPE_STRING:
      return lossy_text(record.payload.text);
    case Zel_TYPE_ENUMERATION:
      return lossy_text(record.payload.keyword);
    case Zel_TYPE_IPADDR: {
      const IpAddressValue &ip = record.payload.ipaddr;
      if (ip.form == Zel_IP_FORM_HOSTNAME) return lossy_text(ip.host_name);
      for (std::uint8_t byte : ip.mask) {
        if (byte != 0) return true;
      }
      return false;
    }
    default:
      return false;
  }
}

// A scalar value as text, for comparing values of two handles.
inline std::string ScalarText(const DataRecord &record) {
  const DataPayload &value = record.payload;
  switch (record.type) {
    case Zel_TYPE_INTEGER:
      return std::to_string(value.integer);
    case Zel_TYPE_STRING:
      return "s:" + std::string(value.text != nullptr ? value.text : "(null)");
    case Zel_TYPE_BOOLEAN:
      return value.boolean != 0 ? "TRUE" : "FALSE";
    case Zel_TYPE_ENUMERATION:
      return "e:" + std::string(value.keyword != nullptr ? value.keyword : "(null)");
    case Zel_TYPE_IPADDR: {
      const IpAddressValue &ip = value.ipaddr;
      if (ip.form == Zel_IP_FORM_HOSTNAME) {
        return "h:" + std::string(ip.host_name != nullptr ? ip.host_name : "(null)");
      }
      std::string text = "ip" + std::to_string(ip.family) + ":";
      char hex[4];
      for (std::uint8_t byte : ip.address) {
        std::snprintf(hex, sizeof hex, "%02x", byte);
        text += hex;
      }
      return text;
    }
    default:
      return "type" + std::to_string(record.type);
  }
}

// The sign of the value order between two scalar values of one item; 1 for
// two values ordered by their identity, whose order cannot be told.
inline int CompareScalars(const DataRecord &a, const DataRecord &b) {
  auto sign = [](auto x, auto y) { return x < y ? -1 : (x > y ? 1 : 0); };
  auto text = [](const char *x, const char *y) {
    const int c = std::strcmp(x, y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  };
  switch (a.type) {
    case Zel_TYPE_INTEGER:
      return sign(a.payload.integer, b.payload.integer);
    case Zel_TYPE_STRING:
      return text(a.payload.text, b.payload.text);
    case Zel_TYPE_ENUMERATION:
      return text(a.payload.keyword, b.payload.keyword);
    case Zel_TYPE_BOOLEAN:
      return sign(static_cast<std::int32_t>(a.payload.boolean - b.payload.boolean), 0);
    case Zel_TYPE_IPADDR: {
      const IpAddressValue &x = a.payload.ipaddr;
      const IpAddressValue &y = b.payload.ipaddr;
      if (x.form != y.form) return sign(x.form, y.form);
      if (x.form == Zel_IP_FORM_HOSTNAME) return text(x.host_name, y.host_name);
      if (x.form != Zel_IP_FORM_NUMERIC) return 1;  // ordered by identity: any order
      if (x.family != y.family) return sign(x.family, y.family);
      if (x.family != Zel_IP_FAMILY_V4 && x.family != Zel_IP_FAMILY_V6) return 1;
      const int c = std::memcmp(x.address, y.address, x.family == Zel_IP_FAMILY_V4 ? 4 : 16);
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    default:
      return 0;
  }
}

// What a value holds, deeply, as one text; and whether it, or any value
// inside it, will not come back the same from a write and a read.
struct ValueSummary {
  std::string text;
  bool lossy = false;   // confined to the value's own item
  bool spills = false;  // may make up or swallow elements anywhere
};

inline ValueSummary Summarize(ConfigHandle *handle, DataRecord *record, const ItemDefinition *item);

// "name=[v1,v2]" for every item of a level, values sorted, so that two levels
// holding equal values give equal texts whatever their order.
inline ValueSummary SummarizeLevel(ConfigHandle *handle, DataRecord *parent,
                                   const ItemDefinition *items) {
  ValueSummary level;
  for (const ItemDefinition *item : ItemsOf(items)) {
    std::vector<std::string> texts;
    for (DataRecord *record : ValuesOf(handle, parent, item->name)) {
      ValueSummary value = Summarize(handle, record, item);
      level.lossy = level.lossy || value.lossy;
      level.spills = level.spills || value.spills;
      texts.push_back(std::move(value.text));
    }
    std::sort(texts.begin(), texts.end());
    level.text += std::string(item->name) + "=[";
    for (const std::string &text : texts) level.text += text + ",";
    level.text += "]";
  }
  return level;
}

inline ValueSummary Summarize(ConfigHandle *handle, DataRecord *record,
                              const ItemDefinition *item) {
  if (record->type == Zel_TYPE_STRUCTURE) {
    ValueSummary inside = SummarizeLevel(handle, record, item->children);
    inside.text = "{" + inside.text + "}";
    return inside;
  }
  ValueSummary value;
  value.text = ScalarText(*record);
  value.lossy = ScalarIsLossy(*record);
  const char *text =
      record->type == Zel_TYPE_STRING        ? record->payload.text
      : record->type == Zel_TYPE_ENUMERATION ? record->payload.keyword
      : record->type == Zel_TYPE_IPADDR && record->payload.ipaddr.form == Zel_IP_FORM_HOSTNAME
          ? record->payload.ipaddr.host_name
          : nullptr;
  value.spills =
      text != nullptr && (std::strchr(text, '<') != nullptr || EndsInsideCharacter(text));
  return value;
}

// Checks every value reachable from a level (parent null: the top level):
// each item lists values of its own type, each value once and in one place
// only (seen collects them across levels), scalars strictly from the
// greatest to the least, and, when check_number is set, no more values than
// the item's number.
inline void CheckLevel(ConfigHandle *handle, DataRecord *parent, const ItemDefinition *items,
                       bool check_number, std::unordered_set<DataRecord *> *seen) {
  for (const ItemDefinition *item : ItemsOf(items)) {
    const std::vector<DataRecord *> values = ValuesOf(handle, parent, item->name);
    const std::string name = item->name;
    if (check_number && item->number != 0) {
      Check(values.size() <= item->number, name + " holds more values than its number");
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
      DataRecord *record = values[i];
      Check(record->type == item->type, name + " lists a value of another type");
      Check(seen->insert(record).second, name + " lists a value that is in another place too");
      if (record->type == Zel_TYPE_STRUCTURE) {
        CheckLevel(handle, record, item->children, check_number, seen);
      } else if (i > 0) {
        Check(CompareScalars(*values[i - 1], *record) > 0,
              name + " is not listed strictly from the greatest to the least");
      }
    }
  }
}

}  // namespace qorvcfg::fuzz
