// The one way from an input to converted nodes: read the input, let the
// markup reader build its elements and convert each child of the first
// top-level element as soon as it is complete, then free everything but the
// converted nodes.
#include "base/read_diagnostics.h"
#include "markup/markup.h"
#include "schema/schema.h"

namespace qorvcfg {
namespace {

struct RootConversion {
  ConversionLevel level;
  bool started;
  bool failed;  // the level's tables could not be allocated
  ReadDiagnostics *diagnostics;
};

void ConvertRootChild(void *context, const MarkupElement *child) {
  auto *conversion = static_cast<RootConversion *>(context);
  if (conversion->failed) return;
  LevelConvertElement(&conversion->level, child, conversion->diagnostics);
}

}  // namespace

ResultCode ParseMarkup(std::uint32_t mode, const char *input, const ElementDescriptor *grammar,
                       ConvertedNode **out, ReadDiagnostics *diagnostics,
                       const RootNodeSink *sink) {
  InputSource source;
  ResultCode result = SourceOpen(mode, input, &source);
  if (result != Zel_OK) return result;
  if (diagnostics != nullptr) diagnostics->SetInput(source.data, source.length, false);

  RootConversion conversion{};
  conversion.diagnostics = diagnostics;
  // The root's level starts before its first child can arrive, so that a
  // child never waits; a level that cannot start fails the parse below.
  conversion.started = LevelStart(&conversion.level, grammar);
  conversion.failed = !conversion.started;
  if (conversion.started && sink != nullptr) {
    conversion.level.sink = sink;
    conversion.level.nodes = sink->nodes;
  }
  {
    ElementArena arena;
    TreeBuilder tree(&arena, ConvertRootChild, &conversion, diagnostics);
    result = tree.Read(&source);
    if (result == Zel_OK) {
      tree.Finish();
      if (tree.Root() != nullptr && conversion.failed) result = Zel_ENOMEM;
      if (tree.Root() != nullptr && diagnostics != nullptr && diagnostics->WantsSpans()) {
        diagnostics->ReportSpan(SpanOfElement(tree.Root(), source.data));
      }
    }
    ConvertedNode *nodes = conversion.started ? LevelFinish(&conversion.level) : nullptr;
    if (result != Zel_OK) {
      ReleaseNodeList(nodes, conversion.started ? conversion.level.nodes : nullptr);
    } else if (tree.Root() != nullptr) {
      *out = nodes;
    }
  }
  if (diagnostics != nullptr) {
    diagnostics->SetInput(SourceRelease(&source), source.length, true);
  } else {
    SourceClose(&source);
  }
  return result;
}

}  // namespace qorvcfg
