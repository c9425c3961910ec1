#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "ChildProcess.h"
#include "ScratchDirectory.h"

namespace {

std::wstring wideFromUtf8(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// The quoting that the C runtime's argument splitter undoes.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t unit : argument) {
        if (unit == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(unit == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        text += unit;
    }
    text.append(backslashes * 2, L'\\');
    return text + L"\"";
}

bool namesVariable(const std::wstring& entry, const wchar_t* name) {
    const std::size_t length = std::wcslen(name);
    if (entry.size() <= length || entry[length] != L'=') {
        return false;
    }
    return std::equal(name, name + length, entry.begin(),
                      [](wchar_t a, wchar_t b) { return std::towupper(a) == std::towupper(b); });
}

std::wstring environmentBlockWithTemporary(const std::filesystem::path& temporaryDirectory) {
    std::vector<std::wstring> entries;
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        std::wstring text(entry);
        if (!namesVariable(text, L"TMP") && !namesVariable(text, L"TEMP")) {
            entries.push_back(text);
        }
    }
    ::FreeEnvironmentStringsW(block);
    entries.push_back(L"TMP=" + temporaryDirectory.wstring());
    entries.push_back(L"TEMP=" + temporaryDirectory.wstring());
    std::wstring joined;
    for (const std::wstring& entry : entries) {
        joined += entry;
        joined += L'\0';
    }
    return joined + L'\0';
}

HANDLE inheritableFile(const std::filesystem::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::filesystem::path siblingProgram(const std::string& name) {
    wchar_t own[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(nullptr, own, MAX_PATH * 4);
    return std::filesystem::path(std::wstring(own, length)).parent_path() / (name + ".exe");
}

ChildRun runChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& temporaryDirectory,
                  const std::filesystem::path& outputDirectory) {
    std::wstring commandLine = quoted(program.wstring());
    for (const std::string& argument : arguments) {
        commandLine += L" " + quoted(wideFromUtf8(argument));
    }
    std::wstring environment = environmentBlockWithTemporary(temporaryDirectory);
    const std::filesystem::path outPath = outputDirectory / "child.out";
    const std::filesystem::path errPath = outputDirectory / "child.err";
    HANDLE out = inheritableFile(outPath);
    HANDLE err = inheritableFile(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    ChildRun run;
    const BOOL started =
        ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup, &process);
    // Read before the handles close: a failed start says why, where the test shows the child's errors.
    const DWORD startError = started ? ERROR_SUCCESS : ::GetLastError();
    const bool outputsMade = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE;
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started) {
        run.err = "the program did not start: CreateProcessW failed with error " +
                  std::to_string(startError) + (outputsMade ? "" : " (its output files could not be made)");
        return run;
    }
    if (::WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 1);
        ::WaitForSingleObject(process.hProcess, INFINITE);
        run.exitCode = -2;
    } else {
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        run.exitCode = static_cast<int>(code);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}
