// Builds one JSON document, putting the commas between members.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tool.h"
#include "value_format.h"

namespace qorvcfg_tool {

class JsonWriter {
 public:
  JsonWriter &Open(char bracket) {
    Member();
    out_ += bracket;
    fresh_.push_back(true);
    return *this;
  }
  JsonWriter &Close(char bracket) {
    out_ += bracket;
    fresh_.pop_back();
    return *this;
  }
  JsonWriter &Key(std::string_view key) {
    Member();
    out_ += JsonString(key) + ":";
    after_key_ = true;
    return *this;
  }
  JsonWriter &Raw(const std::string &json) {
    Member();
    out_ += json;
    return *this;
  }
  JsonWriter &String(std::string_view text) { return Raw(JsonString(text)); }
  JsonWriter &Field(std::string_view key, const std::string &json) { return Key(key).Raw(json); }
  void PrintDocument() { Print(out_ + "\n"); }

 private:
  void Member() {
    if (after_key_) {
      after_key_ = false;
    } else if (!fresh_.empty()) {
      if (!fresh_.back()) out_ += ',';
      fresh_.back() = false;
    }
  }

  std::string out_;
  std::vector<bool> fresh_;
  bool after_key_ = false;
};

inline std::string JsonBool(bool value) { return value ? "true" : "false"; }
inline std::string JsonText(const char *text) { return text ? JsonString(text) : "null"; }

}  // namespace qorvcfg_tool
