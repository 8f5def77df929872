#include "run_program.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace qorvcfg::test {

#ifdef _WIN32
namespace {

std::wstring Wide(const std::string &text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  wide.resize(length - 1);
  return wide;
}

HANDLE InheritableFile(const std::string &path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramRun RunProgram(const std::string &program, const std::vector<std::string> &args) {
  std::string out_path = TempPath("stdout"), err_path = TempPath("stderr");
  std::wstring command = L"\"" + Wide(program) + L"\"";
  for (const std::string &arg : args) command += L" \"" + Wide(arg) + L"\"";
  HANDLE out = InheritableFile(out_path), err = InheritableFile(err_path);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  ProgramRun run;
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    run.status = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    ADD_FAILURE() << "cannot start " << program << ": error " << GetLastError();
  }
  CloseHandle(out);
  CloseHandle(err);
  run.out = ReadFile(out_path);
  run.err = ReadFile(err_path);
  return run;
}
#else
namespace {

std::string Quoted(const std::string &text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

ProgramRun RunProgram(const std::string &program, const std::vector<std::string> &args) {
  std::string out_path = TempPath("stdout"), err_path = TempPath("stderr");
  std::string command = Quoted(program);
  for (const std::string &arg : args) command += " " + Quoted(arg);
  command += " >" + Quoted(out_path) + " 2>" + Quoted(err_path);
  ProgramRun run;
  int status = std::system(command.c_str());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(out_path);
  run.err = ReadFile(err_path);
  return run;
}
#endif

}  // namespace qorvcfg::test
