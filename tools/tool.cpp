#include "tool.h"

#include <cstdio>

#include "value_format.h"

namespace qorvcfg_tool {

void Fail(int status, const std::string &context, const std::string &words, ResultCode result) {
  throw ToolError{status, context + ": " + words + " (" + CodeText(result) + ")"};
}

void Refuse(int status, const std::string &message) { throw ToolError{status, message}; }

void UsageFail(const std::string &message) {
  throw ToolError{kUsageError, message + "\n(qorvcfg --help tells the usage)"};
}

void Check(ResultCode result, const std::string &context) {
  if (result != Zel_OK) Fail(kInvalidFile, context, "refused by the library", result);
}

void Print(const std::string &text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void PrintError(const std::string &text) { std::fwrite(text.data(), 1, text.size(), stderr); }

std::string Indent(int depth) { return std::string(2 * depth, ' '); }

Arguments SplitArguments(const std::vector<std::string> &args, unsigned allowed) {
  struct Flag {
    Option option;
    const char *name;
    bool Arguments::*field;
  };
  static constexpr Flag kFlags[] = {
      {kJson, "--json", &Arguments::json},
      {kForce, "--force", &Arguments::force},
      {kPaths, "--paths", &Arguments::paths},
      {kDryRun, "--dry-run", &Arguments::dry_run},
      {kNoDefault, "--no-default", &Arguments::no_default},
      {kEffective, "--effective", &Arguments::effective},
      {kStrict, "--strict", &Arguments::strict},
      {kRewrite, "--rewrite", &Arguments::rewrite},
      {kCreate, "--create", &Arguments::create},
  };
  Arguments result;
  bool options_ended = false;
  // The value of an option that takes one: "--name=VALUE" or the next argument.
  auto value_of = [&](std::size_t *i, const std::string &name) -> std::optional<std::string> {
    const std::string &arg = args[*i];
    if (arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
    if (arg != name) return std::nullopt;
    if (*i + 1 == args.size()) UsageFail(name + " needs a value");
    return args[++*i];
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      result.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    const Flag *flag = nullptr;
    for (const Flag &candidate : kFlags) {
      if ((allowed & candidate.option) && arg == candidate.name) flag = &candidate;
    }
    std::optional<std::string> value;
    if (flag) {
      result.*(flag->field) = true;
    } else if ((allowed & kOutput) && arg == "-o") {
      if (i + 1 == args.size()) UsageFail(arg + " needs a file name");
      result.output = args[++i];
    } else if ((allowed & kOutput) && (value = value_of(&i, "--output"))) {
      if (value->empty()) UsageFail("--output needs a file name");
      result.output = *value;
    } else if ((allowed & kWords) && (value = value_of(&i, "--words"))) {
      result.words = *value;
    } else if ((allowed & kOrder) && (value = value_of(&i, "--order"))) {
      if (*value != "file" && *value != "library") UsageFail("--order takes file or library");
      result.file_order = *value == "file";
    } else {
      UsageFail("unknown option " + arg);
    }
  }
  if (result.json + result.paths + result.words.has_value() > 1) {
    UsageFail("--json, --paths and --words exclude each other");
  }
  return result;
}

void NeedArguments(const Arguments &args, std::size_t least, std::size_t most,
                   const char *command) {
  if (args.positional.size() < least || args.positional.size() > most) {
    UsageFail(std::string("wrong number of arguments for ") + command);
  }
}

}  // namespace qorvcfg_tool
