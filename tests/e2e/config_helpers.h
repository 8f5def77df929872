// Helpers for tests that work only through the exported functions. A parent
// of null always means the top level of the handle.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "qorvcfg.h"
#include "qorvcfg_diagnostics.h"
#include "support/test_files.h"

namespace qorvcfg::test {

using HandlePtr = std::unique_ptr<ConfigHandle, decltype(&Zel_ConfigDestroy)>;

// A handle of a tests/data definition, with a data file read unless null.
inline HandlePtr OpenConfig(const char *definition = "every_type.def.xml",
                            const char *data = nullptr) {
  ConfigHandle *handle = nullptr;
  EXPECT_EQ(Zel_ConfigCreate(DataPath(definition).c_str(), &handle), Zel_OK) << definition;
  EXPECT_EQ(data ? Zel_ConfigRead(DataPath(data).c_str(), handle) : Zel_OK, Zel_OK);
  return HandlePtr(handle, &Zel_ConfigDestroy);
}
inline HandlePtr Loaded() { return OpenConfig("every_type.def.xml", "every_type.data.xml"); }

// The values of an item, greatest first.
inline std::vector<DataRecord *> Values(ConfigHandle *h, const char *name,
                                        DataRecord *parent = nullptr) {
  auto get = [&](DataRecord **records, std::uint32_t *count) {
    return parent ? Zel_DataGetFromData(parent, name, records, count)
                  : Zel_DataGet(h, name, records, count);
  };
  std::uint32_t count = 0;
  EXPECT_EQ(get(nullptr, &count), Zel_OK) << name;
  std::vector<DataRecord *> records(count);
  EXPECT_EQ(get(records.data(), &count), Zel_OK) << name;
  return records;
}

inline DataRecord *Create(ConfigHandle *h, const char *name, DataRecord *parent = nullptr) {
  DataRecord *record = nullptr;
  EXPECT_EQ(parent ? Zel_DataDefaultCreateFromData(parent, name, &record)
                   : Zel_DataDefaultCreate(h, name, &record),
            Zel_OK)
      << name;
  return record;
}

// A new value of an item, changed to data unless null; gives the result of adding it.
inline ResultCode AddValue(ConfigHandle *h, const char *name, const void *data,
                           DataRecord *parent = nullptr) {
  DataRecord *record = Create(h, name, parent);
  if (data != nullptr) {
    EXPECT_EQ(parent ? Zel_DataChangeToData(parent, record, data) : Zel_DataChange(h, record, data),
              Zel_OK)
        << name;
  }
  return parent ? Zel_DataAddToData(parent, record) : Zel_DataAdd(h, record);
}

// A numeric address of 4 (IPv4) or 16 (IPv6) bytes; no mask unless given.
inline IpAddressValue Ip(const std::vector<int> &address, const std::vector<int> &mask = {}) {
  IpAddressValue ip{};
  ip.form = Zel_IP_FORM_NUMERIC;
  ip.family = address.size() == 4 ? Zel_IP_FAMILY_V4 : Zel_IP_FAMILY_V6;
  for (std::size_t i = 0; i < address.size(); ++i) ip.address[i] = address[i];
  for (std::size_t i = 0; i < mask.size(); ++i) ip.mask[i] = mask[i];
  return ip;
}
inline IpAddressValue Host(char *name) {
  IpAddressValue ip{};
  ip.form = Zel_IP_FORM_HOSTNAME;
  ip.host_name = name;
  return ip;
}

inline std::string LevelText(ConfigHandle *h, DataRecord *parent = nullptr);

// A value as the writer writes it; texts quoted, host names marked, the
// members of a structure in braces.
inline std::string RecordText(ConfigHandle *h, DataRecord *record) {
  if (record->type == Zel_TYPE_STRUCTURE) return "{" + LevelText(h, record) + "}";
  std::string text(Qorvcfg_ValueToText(record->type, &record->payload, 0, nullptr, 0), '\0');
  Qorvcfg_ValueToText(record->type, &record->payload, 0, text.data(), text.size() + 1);
  if (record->type == Zel_TYPE_STRING) return "\"" + text + "\"";
  const bool named =
      record->type == Zel_TYPE_IPADDR && record->payload.ipaddr.form == Zel_IP_FORM_HOSTNAME;
  return named ? "host:" + text : text;
}

// "name=value " for every value of every item of a level, in listing order.
inline std::string LevelText(ConfigHandle *h, DataRecord *parent) {
  std::uint32_t count = 0;
  auto list = [&](ContentEntry *entries) {
    return parent ? Zel_ContentListGetFromData(parent, entries, &count)
                  : Zel_ContentListGet(h, entries, &count);
  };
  if (list(nullptr) != Zel_OK) return "";
  std::vector<ContentEntry> entries(count);
  EXPECT_EQ(list(entries.data()), Zel_OK);
  std::string text;
  for (const ContentEntry &entry : entries) {
    for (DataRecord *record : Values(h, entry.name, parent)) {
      text += std::string(entry.name) + "=" + RecordText(h, record) + " ";
    }
  }
  return text;
}
inline std::string ConfigText(ConfigHandle *h) { return LevelText(h); }

// The bytes Zel_ConfigWrite gives for the handle.
inline std::string WrittenText(ConfigHandle *h, const std::string &name = "out.xml") {
  const std::string path = TempPath(name);
  EXPECT_EQ(Zel_ConfigWrite(path.c_str(), h), Zel_OK);
  return ReadFile(path);
}

}  // namespace qorvcfg::test
