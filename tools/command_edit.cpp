// set, add and del: changes through the edit step.
#include "commands.h"
#include "edit_step.h"

namespace qorvcfg_tool {
namespace {

int RunEditCommand(Edit edit, const Arguments &args) {
  EditRequest request;
  request.edit = edit;
  request.definition = args.positional[0];
  request.data = args.positional[1];
  request.changes.assign(args.positional.begin() + 2, args.positional.end());
  request.target = args.output.value_or(request.data);
  request.force = args.force;
  request.dry_run = args.dry_run;
  request.rewrite = args.rewrite;
  request.create = args.create && edit != Edit::kDel;
  RunEdit(request);
  return 0;
}

}  // namespace

int CommandSet(const Arguments &args) { return RunEditCommand(Edit::kSet, args); }
int CommandAdd(const Arguments &args) { return RunEditCommand(Edit::kAdd, args); }
int CommandDel(const Arguments &args) { return RunEditCommand(Edit::kDel, args); }

}  // namespace qorvcfg_tool
