// Helpers for tests that work only through the exported functions: opening a
// handle, fetching values, making addresses, and a text form of everything a
// handle holds (items in definition order, values in listing order).
#pragma once

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "qorvcfg.h"
#include "support/test_files.h"

namespace qorvcfg::test {

using HandlePtr = std::unique_ptr<ConfigHandle, decltype(&Zel_ConfigDestroy)>;

inline HandlePtr OpenConfig(const std::string &definition = "every_type.def.xml") {
  ConfigHandle *handle = nullptr;
  EXPECT_EQ(Zel_ConfigCreate(DataPath(definition).c_str(), &handle), Zel_OK) << definition;
  return HandlePtr(handle, &Zel_ConfigDestroy);
}

// The values of an item, greatest first; parent null means the top level.
inline std::vector<DataRecord *> Values(ConfigHandle *handle, DataRecord *parent,
                                        const char *name) {
  auto get = [&](DataRecord **records, std::uint32_t *count) {
    return parent != nullptr ? Zel_DataGetFromData(parent, name, records, count)
                             : Zel_DataGet(handle, name, records, count);
  };
  std::uint32_t count = 0;
  EXPECT_EQ(get(nullptr, &count), Zel_OK) << name;
  std::vector<DataRecord *> records(count);
  if (count != 0) {
    EXPECT_EQ(get(records.data(), &count), Zel_OK) << name;
  }
  return records;
}
inline std::vector<DataRecord *> Values(ConfigHandle *handle, const char *name) {
  return Values(handle, nullptr, name);
}

// A new value of an item from its default; parent null means the top level.
inline DataRecord *Create(ConfigHandle *handle, DataRecord *parent, const char *name) {
  DataRecord *record = nullptr;
  const ResultCode result = parent != nullptr ? Zel_DataDefaultCreateFromData(parent, name, &record)
                                              : Zel_DataDefaultCreate(handle, name, &record);
  EXPECT_EQ(result, Zel_OK) << name;
  return record;
}

inline IpAddressValue V4(std::initializer_list<int> address, std::initializer_list<int> mask = {}) {
  IpAddressValue ip{};
  ip.form = Zel_IP_FORM_NUMERIC;
  ip.family = Zel_IP_FAMILY_V4;
  int i = 0;
  for (int b : address) ip.address[i++] = static_cast<std::uint8_t>(b);
  i = 0;
  for (int b : mask) ip.mask[i++] = static_cast<std::uint8_t>(b);
  return ip;
}

inline IpAddressValue V6(const std::uint8_t (&address)[16], bool full_mask = false) {
  IpAddressValue ip{};
  ip.form = Zel_IP_FORM_NUMERIC;
  ip.family = Zel_IP_FAMILY_V6;
  std::memcpy(ip.address, address, 16);
  if (full_mask) std::memset(ip.mask, 0xff, 16);
  return ip;
}

inline IpAddressValue HostName(char *name) {
  IpAddressValue ip{};
  ip.form = Zel_IP_FORM_HOSTNAME;
  ip.host_name = name;
  return ip;
}

inline std::string AddressText(const IpAddressValue &ip) {
  if (ip.form == Zel_IP_FORM_HOSTNAME) return std::string("host:") + ip.host_name;
  std::string text;
  char part[8];
  const int size = ip.family == Zel_IP_FAMILY_V4 ? 4 : 16;
  for (int i = 0; i < size; ++i) {
    std::snprintf(part, sizeof part, ip.family == Zel_IP_FAMILY_V4 ? "%s%d" : "%s%02x",
                  i == 0 ? "" : (ip.family == Zel_IP_FAMILY_V4 ? "." : (i % 2 ? "" : ":")),
                  ip.address[i]);
    text += part;
  }
  return text;
}

inline std::string LevelText(ConfigHandle *handle, DataRecord *parent);

inline std::string RecordText(ConfigHandle *handle, DataRecord *record) {
  switch (record->type) {
    case Zel_TYPE_INTEGER: {
      char text[32];
      std::snprintf(text, sizeof text, "%" PRId64, record->payload.integer);
      return text;
    }
    case Zel_TYPE_STRING:
      return "\"" + std::string(record->payload.text) + "\"";
    case Zel_TYPE_BOOLEAN:
      return record->payload.boolean != 0 ? "TRUE" : "FALSE";
    case Zel_TYPE_IPADDR:
      return AddressText(record->payload.ipaddr);
    case Zel_TYPE_ENUMERATION:
      return record->payload.keyword;
    case Zel_TYPE_STRUCTURE:
      return "{" + LevelText(handle, record) + "}";
    default:
      return "?";
  }
}

// "name=value " for every value of every item of a level.
inline std::string LevelText(ConfigHandle *handle, DataRecord *parent) {
  std::uint32_t count = 0;
  const ResultCode listed = parent != nullptr ? Zel_ContentListGetFromData(parent, nullptr, &count)
                                              : Zel_ContentListGet(handle, nullptr, &count);
  if (listed != Zel_OK) return "";
  std::vector<ContentEntry> entries(count);
  if (parent != nullptr) {
    EXPECT_EQ(Zel_ContentListGetFromData(parent, entries.data(), &count), Zel_OK);
  } else {
    EXPECT_EQ(Zel_ContentListGet(handle, entries.data(), &count), Zel_OK);
  }
  std::string text;
  for (const ContentEntry &entry : entries) {
    for (DataRecord *record : Values(handle, parent, entry.name)) {
      text += std::string(entry.name) + "=" + RecordText(handle, record) + " ";
    }
  }
  return text;
}

inline std::string ConfigText(ConfigHandle *handle) { return LevelText(handle, nullptr); }

// The bytes Zel_ConfigWrite gives for the handle.
inline std::string WrittenText(ConfigHandle *handle, const std::string &name = "out.xml") {
  const std::string path = TempPath(name);
  EXPECT_EQ(Zel_ConfigWrite(path.c_str(), handle), Zel_OK);
  return ReadFile(path);
}

}  // namespace qorvcfg::test
