// Where the Windows build looks for the marker, and whose marker it trusts, with the system's answers
// played by fakes.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <sddl.h>

#include <memory>
#include <string>

#include "LogPlatformWindows.h"
#include "ScratchDirectory.h"

namespace logplatform {
namespace {

std::wstring newerAnswer;
std::wstring olderAnswer;

DWORD answerWith(const std::wstring& answer, DWORD length, LPWSTR buffer) {
    if (answer.size() + 1 > length) {
        return static_cast<DWORD>(answer.size() + 1);
    }
    answer.copy(buffer, answer.size());
    buffer[answer.size()] = L'\0';
    return static_cast<DWORD>(answer.size());
}
DWORD WINAPI newerQuery(DWORD length, LPWSTR buffer) {
    return answerWith(newerAnswer, length, buffer);
}
DWORD WINAPI olderQuery(DWORD length, LPWSTR buffer) {
    return answerWith(olderAnswer, length, buffer);
}

class TemporaryDirectoryChoice : public testing::Test {
  protected:
    TemporaryDirectoryChoice() {
        newerAnswer = newer.path().wstring() + L"\\";
        olderAnswer = older.path().wstring() + L"\\";
    }
    ScratchDirectory newer{"newer"};
    ScratchDirectory older{"older"};
};

TEST_F(TemporaryDirectoryChoice, TakesTheNewerQueryWhereTheSystemHasIt) {
    EXPECT_EQ(temporaryDirectoryFrom(newerQuery, olderQuery), std::filesystem::path(newerAnswer));
}

TEST_F(TemporaryDirectoryChoice, FallsBackToTheOlderQueryWhereItDoesNot) {
    EXPECT_EQ(temporaryDirectoryFrom(nullptr, olderQuery), std::filesystem::path(olderAnswer));
}

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;
struct SidFreer {
    void operator()(PSID sid) const { ::LocalFree(sid); }
};
using OwnedSid = std::unique_ptr<void, SidFreer>;

// This process's token with the Administrators group made deny-only: the token of a run that is not
// elevated.
OwnedHandle notElevatedToken() {
    HANDLE own = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, &own);
    const OwnedHandle ownToken(own);
    unsigned char administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
    SID_AND_ATTRIBUTES denyOnly{administrators, 0};
    HANDLE restricted = nullptr;
    ::CreateRestrictedToken(own, 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &restricted);
    return OwnedHandle(restricted);
}

OwnedSid sidOf(const wchar_t* text) {
    PSID sid = nullptr;
    ::ConvertStringSidToSidW(text, &sid);
    return OwnedSid(sid);
}

OwnedSid runningAccount(HANDLE token) {
    alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD length = 0;
    if (!::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length)) {
        return nullptr;
    }
    const PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    OwnedSid copy(::LocalAlloc(LPTR, ::GetLengthSid(user)));
    ::CopySid(::GetLengthSid(user), copy.get(), user);
    return copy;
}

struct OwnerCase {
    const char* name;
    const wchar_t* owner;  // null: the running account
    bool trusted;
    friend void PrintTo(const OwnerCase& tested, std::ostream* out) { *out << tested.name; }
};

class MarkerOwnerForARunThatIsNotElevated : public testing::TestWithParam<OwnerCase> {};

TEST_P(MarkerOwnerForARunThatIsNotElevated, CountsOnlyForAccountsNoOrdinaryUserCanBe) {
    const OwnedHandle token = notElevatedToken();
    ASSERT_NE(token, nullptr);
    const OwnedSid owner =
        GetParam().owner != nullptr ? sidOf(GetParam().owner) : runningAccount(token.get());
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(ownerIsTrusted(owner.get(), token.get()), GetParam().trusted);
}

INSTANTIATE_TEST_SUITE_P(Owners, MarkerOwnerForARunThatIsNotElevated,
                         testing::Values(OwnerCase{"RunningAccount", nullptr, true},
                                         OwnerCase{"Administrators", L"S-1-5-32-544", true},
                                         OwnerCase{"SystemAccount", L"S-1-5-18", true},
                                         OwnerCase{"AnotherUser", L"S-1-5-21-1111-2222-3333-1001", false}),
                         [](const testing::TestParamInfo<OwnerCase>& tested) { return tested.param.name; });

// Another process holding an oplock on the log or the marker: the open came back at once, with the break
// still pending. Nothing is written through it, and its handle is not left open.
TEST(LogOpen, AnOpenThatDidNotWaitForAnOplockBreakIsClosedAndGivesNoFile) {
    HANDLE opened = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(handleToKeep(0x00000108 /* STATUS_OPLOCK_BREAK_IN_PROGRESS */, opened), nullptr);
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(opened, &flags)) << "the handle was left open";
}

// What the logger's opens ask NtCreateFile for, as a fake of it sees them; it finds nothing.
struct CreateRequest {
    HANDLE root = nullptr;
    std::wstring name;
    ULONG share = 0;
    ULONG options = 0;
};
CreateRequest lastRequest;
NTSTATUS NTAPI recordRequest(PHANDLE handle, ACCESS_MASK, POBJECT_ATTRIBUTES object, PIO_STATUS_BLOCK,
                             PLARGE_INTEGER, ULONG, ULONG share, ULONG, ULONG options, PVOID, ULONG) {
    const UNICODE_STRING& name = *object->ObjectName;
    lastRequest = {object->RootDirectory, std::wstring(name.Buffer, name.Length / sizeof(wchar_t)), share,
                   options};
    *handle = nullptr;
    return static_cast<NTSTATUS>(0xC0000034);  // STATUS_OBJECT_NAME_NOT_FOUND
}

// Neither open waits for a backup or sync tool's oplock, follows a link, or locks a viewer out; the file is
// reached by its name inside the checked folder.
TEST(LogOpen, NeitherOpenWaitsForAnOplockFollowsALinkOrLocksOthersOut) {
    constexpr ULONG neverWaitNorFollow = FILE_COMPLETE_IF_OPLOCKED | FILE_OPEN_REPARSE_POINT;
    constexpr ULONG shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    EXPECT_EQ(openMarkerByName(recordRequest, L"\\??\\C:\\temp\\qortavronotify"), nullptr);
    EXPECT_EQ(lastRequest.options & neverWaitNorFollow, neverWaitNorFollow);
    EXPECT_EQ(lastRequest.share, shareAll);
    HANDLE folder = ::GetCurrentProcess();
    EXPECT_EQ(openFileInFolder(recordRequest, folder, L"Kestraner.txt", FILE_OPEN), nullptr);
    EXPECT_EQ(lastRequest.options & (neverWaitNorFollow | FILE_NON_DIRECTORY_FILE),
              neverWaitNorFollow | FILE_NON_DIRECTORY_FILE);
    EXPECT_EQ(lastRequest.share, shareAll);
    EXPECT_EQ(lastRequest.root, folder);
    EXPECT_EQ(lastRequest.name, L"Kestraner.txt");
}

// Every form a full %TEMP% path takes reaches its object in NT form: a drive, a share, the device forms.
struct NtFormCase {
    const char* name;
    const wchar_t* full;
    const wchar_t* nt;
};
class MarkerNtForm : public testing::TestWithParam<NtFormCase> {};
TEST_P(MarkerNtForm, NamesTheSameObject) {
    EXPECT_EQ(ntFormOf(GetParam().full), GetParam().nt);
}
INSTANTIATE_TEST_SUITE_P(
    Forms, MarkerNtForm,
    testing::Values(NtFormCase{"Drive", L"C:\\Temp\\qortavronotify", L"\\??\\C:\\Temp\\qortavronotify"},
                    NtFormCase{"Share", L"\\\\server\\share\\Temp\\qortavronotify",
                               L"\\??\\UNC\\server\\share\\Temp\\qortavronotify"},
                    NtFormCase{"LongDrive", L"\\\\?\\C:\\Temp\\qortavronotify",
                               L"\\??\\C:\\Temp\\qortavronotify"},
                    NtFormCase{"LongShare", L"\\\\?\\UNC\\server\\share\\q", L"\\??\\UNC\\server\\share\\q"},
                    NtFormCase{"Device", L"\\\\.\\C:\\Temp\\q", L"\\??\\C:\\Temp\\q"}),
    [](const testing::TestParamInfo<NtFormCase>& tested) { return tested.param.name; });

// A file system that names no size when the buffer is too small: the name still comes back whole.
std::wstring longName;
NTSTATUS NTAPI nameOnlyWhenItFits(HANDLE, OBJECT_INFORMATION_CLASS, PVOID information, ULONG length,
                                  PULONG returnLength) {
    const ULONG needed = static_cast<ULONG>(sizeof(UNICODE_STRING) + longName.size() * sizeof(wchar_t));
    *returnLength = 0;
    if (length < needed) {
        return static_cast<NTSTATUS>(0xC0000004);  // STATUS_INFO_LENGTH_MISMATCH
    }
    auto* name = static_cast<UNICODE_STRING*>(information);
    name->Buffer = reinterpret_cast<PWSTR>(name + 1);
    name->Length = name->MaximumLength = static_cast<USHORT>(longName.size() * sizeof(wchar_t));
    longName.copy(name->Buffer, longName.size());
    return 0;
}

TEST(LogFinalPath, ALongNameComesBackWholeWhereTheSystemNamesNoSize) {
    longName = L"\\Device\\HarddiskVolume1" + std::wstring(3000, L'x') + L"\\qortavronotify";
    EXPECT_EQ(finalPathFrom(nullptr, nameOnlyWhenItFits), longName);
}

struct FinalPathCase {
    const char* name;
    const wchar_t* finalPath;
    bool isTheMarker;
    friend void PrintTo(const FinalPathCase& tested, std::ostream* out) { *out << tested.name; }
};

class MarkerFinalPath : public testing::TestWithParam<FinalPathCase> {};

TEST_P(MarkerFinalPath, MustEndInTheMarkersOwnName) {
    EXPECT_EQ(finalPathEndsInName(GetParam().finalPath, L"qortavronotify"), GetParam().isTheMarker);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MarkerFinalPath,
    testing::Values(
        FinalPathCase{"TheMarker", L"\\Device\\HarddiskVolume1\\Users\\nina\\Temp\\qortavronotify", true},
        FinalPathCase{"OtherLetterCase", L"\\Device\\ImDisk0\\Temp\\QortavroNotify", true},
        FinalPathCase{"AnotherFolderALinkLeadsTo", L"\\Device\\HarddiskVolume1\\Windows\\System32", false},
        FinalPathCase{"NameOnlyEndsLikeIt", L"\\Device\\HarddiskVolume1\\Temp\\xqortavronotify", false},
        FinalPathCase{"TheNameAlone", L"qortavronotify", false}),
    [](const testing::TestParamInfo<FinalPathCase>& tested) { return tested.param.name; });

}  // namespace
}  // namespace logplatform
