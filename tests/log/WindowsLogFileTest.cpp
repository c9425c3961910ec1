// The log file under the Windows build's own calls: what it shares with others who have it open, and
// what it leaves open behind it.
#include <gtest/gtest.h>
#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "LogPlatform.h"
#include "ScratchDirectory.h"

namespace logplatform {
namespace {

class WindowsLogFile : public testing::Test {
  protected:
    WindowsLogFile() { std::filesystem::create_directory(marker); }

    // One record as the logger writes it: the marker checked, the log opened inside it, appended, closed.
    bool writeRecord(const std::string& text) {
        MarkerIdentity identity;
        if (!markerCounts(marker, identity)) {
            return false;
        }
        const LogFileHandle file = openLogForAppend(marker, identity, L"Test.txt");
        if (file == noLogFile) {
            return false;
        }
        const bool written = appendToLog(file, text.data(), text.size());
        return closeLog(file) && written;
    }

    ScratchDirectory temporary{"log-file"};
    const std::filesystem::path marker = temporary.path() / "qortavronotify";
};

// Someone watching the log during an installation keeps it open for reading, sharing it as viewers do.
TEST_F(WindowsLogFile, RecordsLandWhileAViewerHoldsTheLog) {
    ASSERT_TRUE(writeRecord("first\n"));
    HANDLE viewer =
        ::CreateFileW((marker / L"Test.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(writeRecord("second\n"));
    ::CloseHandle(viewer);
    EXPECT_EQ(readFile(marker / L"Test.txt"), "first\r\nsecond\r\n");
}

// The file system sets letter case aside: a log made as TEST.TXT is the log named Test.txt.
TEST_F(WindowsLogFile, ALogNamedInOtherLetterCaseGetsTheRecords) {
    writeFile(marker / L"TEST.TXT", "");
    EXPECT_TRUE(writeRecord("record\n"));
    EXPECT_EQ(readFile(marker / L"TEST.TXT"), "record\r\n");
}

// The process's handles as the system lists them (GetProcessHandleCount gives 0 under Wine).
long handlesOfThisProcess() {
    struct Entry {
        void* object;
        ULONG_PTR processId;
        ULONG_PTR handle;
        ULONG access;
        USHORT backTrace;
        USHORT type;
        ULONG attributes;
        ULONG reserved;
    };
    struct Table {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry entries[1];
    };
    // Looked up by hand: the class number is past the end of the headers' enumeration.
    using Query = NTSTATUS(NTAPI*)(ULONG informationClass, void* buffer, ULONG length, ULONG* needed);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    constexpr ULONG extendedHandleInformation = 64;
    constexpr NTSTATUS lengthMismatch = static_cast<NTSTATUS>(0xC0000004);
    std::vector<std::uint64_t> buffer(1 << 16);
    NTSTATUS status = 0;
    ULONG needed = 0;
    while ((status = query(extendedHandleInformation, buffer.data(),
                           static_cast<ULONG>(buffer.size() * sizeof(buffer[0])), &needed)) ==
           lengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status < 0) {
        return -1;
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    long count = 0;
    for (ULONG_PTR at = 0; at < table->count; ++at) {
        count += table->entries[at].processId == ::GetCurrentProcessId() ? 1 : 0;
    }
    return count;
}

TEST_F(WindowsLogFile, RecordsLeaveNoHandleBehind) {
    ASSERT_TRUE(writeRecord("warm-up\n"));
    const long before = handlesOfThisProcess();
    ASSERT_GT(before, 0);
    for (int record = 0; record < 20; ++record) {
        ASSERT_TRUE(writeRecord("record\n"));
    }
    EXPECT_EQ(handlesOfThisProcess(), before);
}

}  // namespace
}  // namespace logplatform
