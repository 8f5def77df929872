// The one way into the markup reader: open, lex, build the tree, convert the
// first top-level element's children, free everything.
#include "markup/markup.h"
#include "schema/schema.h"

namespace qorvcfg {

ResultCode ParseMarkup(std::uint32_t mode, const char *input, const ElementDescriptor *grammar,
                       ConvertedNode **out) {
  // The source is large (it holds a block buffer) and lives for this call.
  InputSource source;
  if (mode == static_cast<std::uint32_t>(ParseMode::kFile)) {
    if (input == nullptr) return Zel_EINVAL;
    platform::FileHandle file = platform::kInvalidFile;
    const ResultCode opened = platform::OpenForReading(input, &file);
    if (opened != Zel_OK) return opened;
    SourceInitFile(&source, file);
  } else if (mode == static_cast<std::uint32_t>(ParseMode::kText)) {
    if (input == nullptr) return Zel_EINVAL;
    SourceInitText(&source, input);
  } else {
    return Zel_EINVAL;
  }

  auto finish_source = [&source] {
    if (source.mode == SourceMode::kFile) platform::Close(source.file);
    source.mode = SourceMode::kNone;
    source.file = platform::kInvalidFile;
  };

  MarkupToken *tokens = NewTokenList();
  if (tokens == nullptr) {
    finish_source();
    return Zel_ENOMEM;
  }
  ResultCode result;
  for (;;) {
    MarkupToken *token = nullptr;
    result = LexNextToken(&source, &token);
    if (result != Zel_OK) break;
    AppendToken(tokens, token);
  }
  finish_source();
  if (!IsEndOfInput(result)) {
    FreeTokenList(tokens);
    return result;
  }

  MarkupElement *tree = nullptr;
  result = BuildElementTree(tokens, &tree);
  FreeTokenList(tokens);
  if (result != Zel_OK) {
    FreeElementChain(tree);
    return result;
  }
  if (tree == nullptr) return Zel_OK;
  result = ConvertElements(grammar, tree->first_child, out);
  FreeElementChain(tree);
  return result;
}

}  // namespace qorvcfg
