#include "strict_check.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "file_order.h"
#include "qorvcfg_diagnostics.h"
#include "value_format.h"

namespace qorvcfg_tool {
namespace {

// An element of the data text with the items of the level it is in.
struct Placed {
  std::size_t element;
  const ItemDefinition *level_items;
  std::string path;  // of the level, "" at the top, else ending in '/'
};

// Every element whose level is known: the root's children, and the children
// of elements that name a structure item. Tree order, without recursion.
std::vector<Placed> PlaceElements(const std::vector<ScannedElement> &elements,
                                  const ItemDefinition *items) {
  std::vector<Placed> placed;
  if (elements.empty()) return placed;
  std::vector<Placed> pending;
  auto push_children = [&](std::size_t parent, const ItemDefinition *level,
                           const std::string &path) {
    const std::vector<std::size_t> &children = elements[parent].children;
    for (std::size_t i = children.size(); i-- > 0;) pending.push_back({children[i], level, path});
  };
  push_children(0, items, "");
  while (!pending.empty()) {
    Placed next = pending.back();
    pending.pop_back();
    placed.push_back(next);
    const ItemDefinition *item = FindItem(next.level_items, elements[next.element].name);
    if (item && item->type == Zel_TYPE_STRUCTURE) {
      push_children(next.element, item->children, next.path + item->name + "/");
    }
  }
  return placed;
}

std::string Trim(const std::string &text) {
  const char *blank = " \t\r\n";
  const std::size_t begin = text.find_first_not_of(blank);
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(blank) - begin + 1);
}

bool LeadingZero(const std::string &text) {
  return text.size() > 1 && text[0] == '0' && text[1] != 'x' && text[1] != 'X';
}

// An address text that reading takes for a host name, though it looks like
// an address: digits and dots only, or a colon.
bool LooksLikeAddress(const std::string &text) {
  return text.find(':') != std::string::npos ||
         (!text.empty() && text.find_first_not_of("0123456789.") == std::string::npos);
}

class Warnings {
 public:
  explicit Warnings(Session &session) : session_(session) {}
  void Add(std::uint32_t kind, const ScannedElement &at, std::string message) {
    Diagnostic diagnostic;
    diagnostic.file = session_.report.file;
    diagnostic.kind = kind;
    diagnostic.line = static_cast<std::uint32_t>(at.line);
    diagnostic.column = static_cast<std::uint32_t>(at.column);
    diagnostic.element = at.name;
    diagnostic.message = std::move(message);
    diagnostic.warning = true;
    session_.report.diagnostics.push_back(std::move(diagnostic));
  }

 private:
  Session &session_;
};

// The warnings about one scalar element's text.
void CheckText(Warnings &warnings, const ItemDefinition *item, const ScannedElement &element,
               const std::string &path) {
  const std::string text = Trim(element.text);
  DataPayload payload{};
  if (Qorvcfg_ValueFromText(item, text.c_str(), &payload, nullptr, 0) != Zel_OK) return;
  if (item->type == Zel_TYPE_INTEGER && LeadingZero(text)) {
    warnings.Add(kKindLeadingZero, element,
                 path + ": '" + text + "' has a leading zero and reads as octal, " +
                     std::to_string(payload.integer) + "; write " +
                     std::to_string(payload.integer) + " or 0x... to mean it");
  }
  if (item->type == Zel_TYPE_IPADDR && payload.ipaddr.form == Zel_IP_FORM_HOSTNAME &&
      LooksLikeAddress(text)) {
    warnings.Add(kKindAddressAsHost, element,
                 path + ": '" + text + "' reads as a host name, not as an address");
  }
  Qorvcfg_ValueRelease(item->type, &payload);
}

// The warnings about the items of one level that have no element in it.
void CheckMissing(Warnings &warnings, const std::vector<ScannedElement> &elements,
                  std::size_t parent, const ItemDefinition *items, const std::string &where) {
  for (const ItemDefinition *item = items; item; item = item->next) {
    if (!Holds(item) || !item->necessity) continue;
    bool present = false;
    for (std::size_t child : elements[parent].children)
      present |= elements[child].name == item->name;
    if (present) continue;
    if (item->identifier) {
      warnings.Add(kKindIdentifierMissing, elements[parent],
                   where + ": no " + item->name + ", its identifier");
    } else {
      warnings.Add(kKindRequiredMissing, elements[parent],
                   where + ": required item " + item->name + " has no value" +
                       (HasDefault(item) ? " (its default applies)" : ""));
    }
  }
}

}  // namespace

void SuggestItemNames(Session &session) {
  const std::vector<ScannedElement> elements = ScanElements(session.data_text);
  std::map<std::pair<std::size_t, std::size_t>, const ItemDefinition *> levels;
  for (const Placed &placed : PlaceElements(elements, session.handle->items)) {
    const ScannedElement &element = elements[placed.element];
    levels[{element.line, element.column}] = placed.level_items;
  }
  for (Diagnostic &diagnostic : session.report.diagnostics) {
    if (diagnostic.kind != QORVCFG_DIAG_UNKNOWN_ELEMENT || diagnostic.file != session.report.file) {
      continue;
    }
    auto level = levels.find({diagnostic.line, diagnostic.column});
    if (level == levels.end()) continue;
    const ItemDefinition *closest = ClosestItem(level->second, diagnostic.element);
    if (closest) diagnostic.message += std::string("; did you mean ") + closest->name + "?";
  }
}

void AddStrictWarnings(Session &session) {
  const std::vector<ScannedElement> elements = ScanElements(session.data_text);
  if (elements.empty()) return;
  Warnings warnings(session);
  if (elements[0].name != "config") {
    warnings.Add(kKindRootName, elements[0],
                 "the root element is " + elements[0].name + ", not config");
  }
  const ItemDefinition *items = session.handle->items;
  CheckMissing(warnings, elements, 0, items, "the top level");
  for (const Placed &placed : PlaceElements(elements, items)) {
    const ScannedElement &element = elements[placed.element];
    const ItemDefinition *item = FindItem(placed.level_items, element.name);
    if (!item || !Holds(item)) continue;
    const std::string path = placed.path + item->name;
    if (item->type == Zel_TYPE_STRUCTURE) {
      CheckMissing(warnings, elements, placed.element, item->children, path);
    } else {
      CheckText(warnings, item, element, path);
    }
  }
}

}  // namespace qorvcfg_tool
