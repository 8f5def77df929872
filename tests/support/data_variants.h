// Data texts less one element, for tests that fail an allocation of a read:
// a read that could not convert an element must equal the read of the data
// without it.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace qorvcfg::test {

// Each element inside the root of a data text, as the span of its text.
// Tags only: the texts hold no `<` or `>` of their own.
inline std::vector<std::pair<std::size_t, std::size_t>> InnerElements(const std::string &data) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::vector<std::size_t> open;
  for (std::size_t at = data.find('<'); at != std::string::npos; at = data.find('<', at + 1)) {
    const std::size_t close = data.find('>', at);
    if (data[at + 1] == '?' || data[at + 1] == '!') continue;
    if (data[at + 1] == '/') {
      const std::size_t begin = open.back();
      open.pop_back();
      if (!open.empty()) spans.emplace_back(begin, close + 1);
    } else if (data[close - 1] == '/') {
      if (!open.empty()) spans.emplace_back(at, close + 1);
    } else {
      open.push_back(at);
    }
  }
  return spans;
}

// The data without one of its inner elements, for each element but those
// inside (or equal to) the first occurrence of kept, when kept is given.
inline std::vector<std::string> WithoutOneElement(const std::string &data, const char *kept) {
  const std::size_t from = kept != nullptr ? data.find(kept) : std::string::npos;
  const std::size_t to = from != std::string::npos ? from + std::strlen(kept) : 0;
  std::vector<std::string> texts;
  for (const auto &[begin, end] : InnerElements(data)) {
    if (from == std::string::npos || begin < from || end > to) {
      texts.push_back(data.substr(0, begin) + data.substr(end));
    }
  }
  return texts;
}

}  // namespace qorvcfg::test
