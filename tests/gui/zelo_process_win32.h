#pragma once
// ZELO.exe started as a process of its own from a copy in a test directory,
// with a different working directory, and driven through its windows.

#include <windows.h>

#include <filesystem>
#include <string>

namespace zelo::test {

// A visible top-level window of the process with the given class, or null.
inline HWND visibleWindow(DWORD pid, const char* className) {
    struct Search {
        DWORD pid;
        const char* className;
        HWND found;
    } s{pid, className, nullptr};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            char cls[64] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (owner != s->pid || lstrcmpA(cls, s->className) || !IsWindowVisible(w)) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// The directory of the running test program (ZELO.exe is built beside it).
inline std::filesystem::path testProgramDirectory() {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

class ZeloProcess {
public:
    ZeloProcess() = default;
    ZeloProcess(const ZeloProcess&) = delete;
    ZeloProcess& operator=(const ZeloProcess&) = delete;
    ~ZeloProcess() {
        if (!process_.hProcess) return;
        if (running()) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }

    // Wide paths: the program's folder may be outside the ANSI code page.
    // With `out` and `err` (inheritable handles) as its standard output and
    // error it runs without a console window, unless it shares this one.
    bool start(const std::filesystem::path& exe, const std::filesystem::path& workingDir,
               const std::wstring& arguments = {}, HANDLE out = nullptr, HANDLE err = nullptr,
               bool shareConsole = false) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (out) si.dwFlags = STARTF_USESTDHANDLES, si.hStdOutput = out, si.hStdError = err;
        std::wstring cmd =
            L"\"" + exe.wstring() + L"\"" + (arguments.empty() ? L"" : L" ") + arguments;
        return CreateProcessW(exe.wstring().c_str(), cmd.data(), nullptr, nullptr, out != nullptr,
                              out && !shareConsole ? CREATE_NO_WINDOW : 0, nullptr,
                              workingDir.wstring().c_str(), &si, &process_) != FALSE;
    }
    // A visible top-level window of the process with the given class, waited for.
    HWND waitForWindow(const char* className, int milliseconds = 20000) const {
        for (int waited = 0; waited < milliseconds && running(); waited += 50, Sleep(50))
            if (HWND w = findWindow(className)) return w;
        return nullptr;
    }
    HWND findWindow(const char* className) const {
        return visibleWindow(process_.dwProcessId, className);
    }
    DWORD pid() const { return process_.dwProcessId; }
    bool running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit code, or -1 when the process did not end in time.
    long waitForExit(int milliseconds = 20000) const {
        DWORD code = 0;
        if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(milliseconds)) !=
                WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process_.hProcess, &code))
            return -1;
        return static_cast<long>(code);
    }

private:
    PROCESS_INFORMATION process_{};
};

}  // namespace zelo::test
