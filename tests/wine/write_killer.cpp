#include "tests/wine/write_killer.h"

#include <psapi.h>

#include <map>
#include <vector>

namespace velnara::wine_test {

const char* const WriteKiller::kWriteCalls[] = {
    "RegSetValueExA", "RegDeleteValueA", "SetNamedSecurityInfoA", "CreateFileA",
    "WriteFile",      "MoveFileExA",     "DeleteFileA",           nullptr};

namespace {

constexpr BYTE kBreakpoint = 0xCC;  // int3
constexpr DWORD kTrapFlag = 0x100;

// Where a function of this process lives in another: the same module's
// base there plus the same offset (system DLLs need not load at one
// address in every process).
struct Placed {
  std::string module;  // lower case
  std::size_t offset;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return text;
}

bool Place(const char* function, Placed* placed) {
  void* address = nullptr;
  for (const char* dll : {"advapi32.dll", "kernel32.dll"}) {
    const HMODULE module = LoadLibraryA(dll);
    if (module == nullptr) continue;
    address = reinterpret_cast<void*>(GetProcAddress(module, function));
    if (address != nullptr) break;
  }
  HMODULE home = nullptr;
  char name[MAX_PATH] = {};
  if (address == nullptr ||
      !GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &home) ||
      GetModuleBaseNameA(GetCurrentProcess(), home, name, sizeof name) == 0) {
    return false;
  }
  placed->module = Lower(name);
  placed->offset = static_cast<BYTE*>(address) - reinterpret_cast<BYTE*>(home);
  return true;
}

// The base of each module of `process`, by lower-case name.
std::map<std::string, BYTE*> ModulesOf(HANDLE process) {
  std::map<std::string, BYTE*> bases;
  HMODULE modules[512];
  DWORD bytes = 0;
  if (!EnumProcessModulesEx(process, modules, sizeof modules, &bytes, LIST_MODULES_ALL)) {
    return bases;
  }
  for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
    char name[MAX_PATH] = {};
    if (GetModuleBaseNameA(process, modules[i], name, sizeof name) != 0) {
      bases[Lower(name)] = reinterpret_cast<BYTE*>(modules[i]);
    }
  }
  return bases;
}

bool WriteByte(HANDLE process, BYTE* at, BYTE value) {
  SIZE_T done = 0;
  const bool written = WriteProcessMemory(process, at, &value, 1, &done) && done == 1;
  FlushInstructionCache(process, at, 1);
  return written;
}

}  // namespace

WriteKiller::~WriteKiller() {
  if (thread_ != nullptr) {
    bool killed = false;
    DWORD status = 0;
    std::string problem;
    Wait(60000, &killed, &status, &problem);
  }
  if (started_ != nullptr) CloseHandle(started_);
}

bool WriteKiller::Start(const std::string& commandLine, std::string* problem, std::size_t kill) {
  commandLine_ = commandLine;
  killAt_ = kill;
  started_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &WriteKiller::Debug, this, 0, nullptr);
  if (thread_ == nullptr || WaitForSingleObject(started_, 30000) != WAIT_OBJECT_0 ||
      processId_ == 0) {
    *problem = "cannot debug " + commandLine + ": " + problem_;
    return false;
  }
  return true;
}

DWORD WINAPI WriteKiller::Debug(void* self) {
  static_cast<WriteKiller*>(self)->DebugLoop();
  return 0;
}

void WriteKiller::DebugLoop() {
  // What the program says goes nowhere: the test reads the machine.
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  const HANDLE nowhere = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = nowhere;
  startup.hStdError = nowhere;
  PROCESS_INFORMATION process = {};
  // Wine now and then loses a new process before its first instruction.
  bool created = false;
  for (int attempt = 0; attempt < 3 && !created; ++attempt) {
    std::string line = commandLine_;
    created = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS,
                             nullptr, nullptr, &startup, &process);
    if (!created && GetLastError() != ERROR_INTERNAL_ERROR) break;
    if (!created) Sleep(500);
  }
  if (nowhere != INVALID_HANDLE_VALUE) CloseHandle(nowhere);
  if (!created) {
    problem_ = "CreateProcessA failed with " + std::to_string(GetLastError());
    SetEvent(started_);
    return;
  }
  processId_ = process.dwProcessId;
  SetEvent(started_);

  std::vector<Placed> calls;
  for (const char* const* call = kWriteCalls; *call != nullptr; ++call) {
    Placed placed;
    if (Place(*call, &placed)) calls.push_back(placed);
  }
  std::map<BYTE*, BYTE> original;   // each breakpoint and the byte it covers
  std::map<DWORD, BYTE*> stepping;  // thread -> breakpoint to set again
  bool armed = false;
  for (bool running = true; running;) {
    DEBUG_EVENT event = {};
    if (!WaitForDebugEvent(&event, 120000)) {
      problem_ = "no debug event for two minutes";
      TerminateProcess(process.hProcess, 1);
      break;
    }
    DWORD answer = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile != nullptr)
          CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        status_ = event.u.ExitProcess.dwExitCode;
        running = false;
        break;
      case EXCEPTION_DEBUG_EVENT: {
        const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
        BYTE* at = static_cast<BYTE*>(record.ExceptionAddress);
        if (record.ExceptionCode == EXCEPTION_BREAKPOINT && !armed) {
          // The loader's breakpoint: the program's DLLs are there now.
          armed = true;
          const std::map<std::string, BYTE*> bases = ModulesOf(process.hProcess);
          for (const Placed& call : calls) {
            const auto base = bases.find(call.module);
            if (base == bases.end()) continue;
            BYTE* target = base->second + call.offset;
            BYTE byte = 0;
            SIZE_T read = 0;
            if (original.count(target) == 0 &&
                ReadProcessMemory(process.hProcess, target, &byte, 1, &read) && read == 1 &&
                WriteByte(process.hProcess, target, kBreakpoint)) {
              original[target] = byte;
            }
          }
          if (original.size() != calls.size()) problem_ = "not every breakpoint could be set";
        } else if (record.ExceptionCode == EXCEPTION_BREAKPOINT && original.count(at) != 0) {
          if (writes_++ == killAt_) {
            killed_ = true;
            TerminateProcess(process.hProcess, 9);
            break;
          }
          // Past the call's first instruction once, then the breakpoint again.
          const HANDLE thread =
              OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, event.dwThreadId);
          CONTEXT context = {};
          context.ContextFlags = CONTEXT_CONTROL;
          if (thread != nullptr && GetThreadContext(thread, &context)) {
            context.Rip = reinterpret_cast<DWORD64>(at);
            context.EFlags |= kTrapFlag;
            WriteByte(process.hProcess, at, original[at]);
            SetThreadContext(thread, &context);
            stepping[event.dwThreadId] = at;
          }
          if (thread != nullptr) CloseHandle(thread);
        } else if (record.ExceptionCode == EXCEPTION_SINGLE_STEP &&
                   stepping.count(event.dwThreadId) != 0) {
          WriteByte(process.hProcess, stepping[event.dwThreadId], kBreakpoint);
          stepping.erase(event.dwThreadId);
        } else if (record.ExceptionCode != EXCEPTION_BREAKPOINT) {
          answer = DBG_EXCEPTION_NOT_HANDLED;  // the program's own
        }
        break;
      }
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, answer);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

bool WriteKiller::Wait(DWORD timeoutMs, bool* killed, DWORD* status, std::string* problem) {
  if (thread_ == nullptr) return false;
  if (WaitForSingleObject(thread_, timeoutMs) != WAIT_OBJECT_0) {
    const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId_);
    if (process != nullptr) {
      TerminateProcess(process, 1);
      CloseHandle(process);
    }
    WaitForSingleObject(thread_, 30000);
    *problem = commandLine_ + " did not end";
  }
  CloseHandle(thread_);
  thread_ = nullptr;
  *killed = killed_;
  *status = status_;
  if (problem->empty()) *problem = problem_;
  return problem->empty();
}

bool RunKilledAt(const std::string& commandLine, std::size_t kill, bool* killed,
                 std::size_t* writes, std::string* problem) {
  WriteKiller run;
  if (!run.Start(commandLine, problem, kill)) return false;
  DWORD status = 0;
  const bool ended = run.Wait(120000, killed, &status, problem);
  *writes = run.Writes();
  return ended;
}

}  // namespace velnara::wine_test
