#include "tool.h"

#include <cstdio>

#include "value_format.h"

namespace qorvcfg_tool {

void Fail(const std::string &context, const std::string &words, ResultCode result) {
  throw ToolError{kFailure, context + ": " + words + " (" + CodeText(result) + ")"};
}

void Refuse(const std::string &message) { throw ToolError{kFailure, message}; }

void UsageFail(const std::string &message) {
  throw ToolError{kUsageError, message + "\n(qorvcfg --help tells the usage)"};
}

void Check(ResultCode result, const std::string &context) {
  if (result != Zel_OK) Fail(context, "refused by the library", result);
}

void Print(const std::string &text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void PrintError(const std::string &text) { std::fwrite(text.data(), 1, text.size(), stderr); }

std::string Indent(int depth) { return std::string(2 * depth, ' '); }

Arguments SplitArguments(const std::vector<std::string> &args, unsigned allowed) {
  Arguments result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if ((allowed & kOutput) && (arg == "-o" || arg == "--output")) {
      if (i + 1 == args.size()) UsageFail(arg + " needs a file name");
      result.output = args[++i];
    } else if ((allowed & kJson) && arg == "--json") {
      result.json = true;
    } else if ((allowed & kForce) && arg == "--force") {
      result.force = true;
    } else if ((allowed & kPaths) && arg == "--paths") {
      result.paths = true;
    } else if ((allowed & kRewrite) && arg == "--rewrite") {
      result.rewrite = true;
    } else if ((allowed & kCreate) && arg == "--create") {
      result.create = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      UsageFail("unknown option " + arg);
    } else {
      result.positional.push_back(arg);
    }
  }
  if (result.json && result.paths) UsageFail("--json and --paths exclude each other");
  return result;
}

void NeedArguments(const Arguments &args, std::size_t least, std::size_t most,
                   const char *command) {
  if (args.positional.size() < least || args.positional.size() > most) {
    UsageFail(std::string("wrong number of arguments for ") + command);
  }
}

}  // namespace qorvcfg_tool
