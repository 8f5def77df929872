// The order in which a data file holds its values, for views that list
// values as the file has them rather than in the library's order.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "session.h"
#include "value_walk.h"

namespace qorvcfg_tool {

// An element of a data text: its name, its text up to the first tag inside
// it, and its child elements.
struct ScannedElement {
  std::string name;
  std::string text;
  std::vector<std::size_t> children;
  std::size_t line = 0;
  std::size_t column = 0;
};

// The elements of text, the first (when there is one) the root. Tags are
// read as reading reads them: '<!' and '<?' tags are skipped, an end tag
// closes the innermost open element.
std::vector<ScannedElement> ScanElements(std::string_view text);

// Arranges each item's values in the order of the file's elements: a value
// is matched to the element whose text converts to it (a structure: whose
// identifier does); values matched to no element keep the library's order
// after the others.
class FileOrder : public ValueOrder {
 public:
  explicit FileOrder(const Session &session);
  void Arrange(const Level &level, const ItemDefinition *item,
               std::vector<DataRecord *> *values) override;

 private:
  std::vector<ScannedElement> elements_;
  std::map<const DataRecord *, std::size_t> places_;  // structure value (null: top) to element
};

}  // namespace qorvcfg_tool
