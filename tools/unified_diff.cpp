#include "unified_diff.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace qorvcfg_tool {
namespace {

constexpr std::size_t kContext = 3;
// Beyond this many cells the middle of the texts is shown as replaced whole
// rather than matched line by line.
constexpr std::size_t kMostCells = 16u << 20;

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

enum class Op : char { kSame = ' ', kDel = '-', kAdd = '+' };

struct Step {
  Op op;
  std::string_view line;
};

// The edit script from a to b: common ends, then a longest common
// subsequence of the middle.
std::vector<Step> Script(const std::vector<std::string_view> &a,
                         const std::vector<std::string_view> &b) {
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) {
    ++tail;
  }
  const std::size_t n = a.size() - head - tail, m = b.size() - head - tail;
  std::vector<Step> steps;
  for (std::size_t i = 0; i < head; ++i) steps.push_back({Op::kSame, a[i]});
  if (n > 0 && m > 0 && (n + 1) * (m + 1) <= kMostCells) {
    // lcs[i][j]: the longest common subsequence of a[head+i..] and b[head+j..].
    std::vector<std::size_t> lcs((n + 1) * (m + 1), 0);
    auto at = [&](std::size_t i, std::size_t j) -> std::size_t & { return lcs[i * (m + 1) + j]; };
    for (std::size_t i = n; i-- > 0;) {
      for (std::size_t j = m; j-- > 0;) {
        at(i, j) = a[head + i] == b[head + j] ? at(i + 1, j + 1) + 1
                                              : std::max(at(i + 1, j), at(i, j + 1));
      }
    }
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
      if (i < n && j < m && a[head + i] == b[head + j]) {
        steps.push_back({Op::kSame, a[head + i++]});
        ++j;
      } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
        steps.push_back({Op::kDel, a[head + i++]});
      } else {
        steps.push_back({Op::kAdd, b[head + j++]});
      }
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) steps.push_back({Op::kDel, a[head + i]});
    for (std::size_t j = 0; j < m; ++j) steps.push_back({Op::kAdd, b[head + j]});
  }
  for (std::size_t i = a.size() - tail; i < a.size(); ++i) steps.push_back({Op::kSame, a[i]});
  return steps;
}

// "start,count" of a hunk's range; "start" alone for one line, as diff -u.
std::string Range(std::size_t start, std::size_t count) {
  if (count == 1) return std::to_string(start);
  return std::to_string(count == 0 ? start - 1 : start) + "," + std::to_string(count);
}

}  // namespace

std::string UnifiedDiff(std::string_view from, std::string_view to, const std::string &from_label,
                        const std::string &to_label) {
  if (from == to) return "";
  const std::vector<Step> steps = Script(Lines(from), Lines(to));
  std::string out = "--- " + from_label + "\n+++ " + to_label + "\n";
  std::size_t k = 0;
  std::size_t line_a = 1, line_b = 1;  // numbers of steps[k]'s lines
  while (k < steps.size()) {
    // The next change, and the hunk around it: changes closer than twice the
    // context share one hunk.
    std::size_t change = k;
    while (change < steps.size() && steps[change].op == Op::kSame) ++change;
    if (change == steps.size()) break;
    const std::size_t begin = change - std::min(kContext, change - k);
    for (; k < begin; ++k) ++line_a, ++line_b;
    std::size_t end = change;
    std::size_t same_run = 0;
    while (end < steps.size() && (steps[end].op != Op::kSame || same_run < 2 * kContext)) {
      same_run = steps[end].op == Op::kSame ? same_run + 1 : 0;
      ++end;
    }
    // Back off to keep only kContext lines of context after the last change.
    if (same_run > kContext) end -= same_run - kContext;
    std::size_t count_a = 0, count_b = 0;
    for (std::size_t i = begin; i < end; ++i) {
      count_a += steps[i].op != Op::kAdd;
      count_b += steps[i].op != Op::kDel;
    }
    out += "@@ -" + Range(line_a, count_a) + " +" + Range(line_b, count_b) + " @@\n";
    for (; k < end; ++k) {
      const Step &step = steps[k];
      out += static_cast<char>(step.op);
      out.append(step.line);
      if (step.line.empty() || step.line.back() != '\n') out += "\n\\ No newline at end of file\n";
      line_a += step.op != Op::kAdd;
      line_b += step.op != Op::kDel;
    }
  }
  return out;
}

}  // namespace qorvcfg_tool
