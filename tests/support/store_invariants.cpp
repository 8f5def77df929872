#include "support/store_invariants.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "store/store.h"

namespace qorvcfg::test {
namespace {

std::string Where(const DataValue *value) {
  return std::string(" (value of ") + (value->item != nullptr ? value->item->name : "?") + ")";
}

std::uint32_t SubtreeHeight(const ValueIndexNode *node) {
  if (node == nullptr) return 0;
  return 1 + (node->left_height > node->right_height ? node->left_height : node->right_height);
}

// The tree of one index: links, heights, balance, count, and that every node
// is the own node of a value linked into container with item position i.
std::string CheckIndex(const DataContainer *container, std::uint32_t i) {
  const ValueIndex *index = container->indexes[i];
  if (index == nullptr) return "missing index";
  if (index->tag != kIndexTagLive) return "index not live";
  if (index->root != nullptr && index->root->parent != nullptr) return "root has a parent";
  std::uint32_t nodes = 0;
  const ValueIndexNode *node = index->root;
  while (node != nullptr && node->left != nullptr) node = node->left;
  while (node != nullptr) {
    ++nodes;
    const auto *value = ValueOfNode(node);
    if (&value->node != node) return "a node that is not its value's own" + Where(value);
    if (value->container != container) return "indexed value not linked here" + Where(value);
    if (value->item != container->items[i]) return "value in another item's index" + Where(value);
    for (const ValueIndexNode *child : {node->left, node->right}) {
      if (child != nullptr && child->parent != node) return "broken parent link" + Where(value);
    }
    if (node->left_height != SubtreeHeight(node->left) ||
        node->right_height != SubtreeHeight(node->right)) {
      return "wrong height" + Where(value);
    }
    if (std::abs(static_cast<int>(node->left_height) - static_cast<int>(node->right_height)) > 1) {
      return "unbalanced" + Where(value);
    }
    if (nodes > index->count) return "more nodes than the count";
    if (node->right != nullptr) {
      node = node->right;
      while (node->left != nullptr) node = node->left;
    } else {
      while (node->parent != nullptr && node->parent->right == node) node = node->parent;
      node = node->parent;
    }
  }
  if (nodes != index->count) return "fewer nodes than the count";
  return "";
}

std::string CheckContainer(DataContainer *container, std::vector<DataContainer *> *pending) {
  std::vector<std::uint32_t> listed(container->count, 0);
  ListLinks *head = ListHead(container);
  if (head->next == nullptr || head->prev == nullptr) return "list head not set";
  for (ListLinks *at = head->next; at != head; at = at->next) {
    auto *value = reinterpret_cast<DataValue *>(at);
    if (at->next == nullptr || at->next->prev != at) return "broken list link" + Where(value);
    if (value->container != container) return "listed value linked elsewhere" + Where(value);
    const std::int64_t i = FindItemByPointer(container, value->item);
    if (i < 0) return "listed value of a foreign item" + Where(value);
    ++listed[static_cast<std::size_t>(i)];
    const ValueIndexNode *top = &value->node;
    while (top->parent != nullptr) top = top->parent;
    if (top != container->indexes[i]->root) return "listed value not in its index" + Where(value);
    if (value->record.type == Zel_TYPE_STRUCTURE) pending->push_back(&value->record.nested);
  }
  for (std::uint32_t i = 0; i < container->count; ++i) {
    const std::string fault = CheckIndex(container, i);
    if (!fault.empty()) return fault + " in the index of " + container->items[i]->name;
    if (container->indexes[i]->count != listed[i]) {
      return std::string("index and list disagree for ") + container->items[i]->name;
    }
  }
  return "";
}

// Every value of the handle's pool: an unlinked one has no links at all; the
// linked ones are counted, to be matched with the containers' lists.
struct PoolSurvey {
  std::size_t linked = 0;
  std::string fault;
  std::vector<DataContainer *> *pending;
};

void SurveyValue(DataValue *value, void *context) {
  auto *survey = static_cast<PoolSurvey *>(context);
  if (value->container != nullptr) {
    ++survey->linked;
    return;
  }
  if (value->links.next != nullptr || value->links.prev != nullptr) {
    if (survey->fault.empty()) survey->fault = "unlinked value with list links" + Where(value);
  } else if (value->node.parent != nullptr || value->node.left != nullptr ||
             value->node.right != nullptr) {
    if (survey->fault.empty()) survey->fault = "unlinked value still has tree links" + Where(value);
  }
  if (value->record.type == Zel_TYPE_STRUCTURE) survey->pending->push_back(&value->record.nested);
}

std::size_t ListLength(DataContainer *container) {
  std::size_t n = 0;
  ListLinks *head = ListHead(container);
  for (ListLinks *at = head->next; at != head; at = at->next) ++n;
  return n;
}

}  // namespace

std::string StoreInvariantViolation(ConfigHandle *handle) {
  std::vector<DataContainer *> pending{&handle->data};
  PoolSurvey survey{0, "", &pending};
  PoolVisit(&StateOf(handle)->values, SurveyValue, &survey);
  std::string fault = survey.fault;
  std::size_t listed = 0;
  while (fault.empty() && !pending.empty()) {
    DataContainer *container = pending.back();
    pending.pop_back();
    fault = CheckContainer(container, &pending);
    listed += ListLength(container);
  }
  if (fault.empty() && listed != survey.linked) return "linked values outside the handle's lists";
  return fault;
}

}  // namespace qorvcfg::test
