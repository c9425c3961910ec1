#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ScratchDirectory.h"

namespace {

// The resources of a built program, read the way the loader reads them.
class ProgramResources : public testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        module = ::LoadLibraryExW(siblingProgram(GetParam()).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override {
        if (module != nullptr) {
            ::FreeLibrary(module);
        }
    }
    std::string resource(LPCWSTR name, LPCWSTR type) const {
        HRSRC found = ::FindResourceW(module, name, type);
        if (found == nullptr) {
            return {};
        }
        const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
        return std::string(bytes, ::SizeofResource(module, found));
    }
    HMODULE module = nullptr;
};

// As invoked, without UI access; for the x64 program it is (Windows refuses to start a program whose
// manifest names another architecture); and, where Windows reads it, no console made for a GUI's start.
TEST_P(ProgramResources, ManifestRunsAsInvokerOnX64WithNoConsoleOfItsOwn) {
    const std::string manifest = resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    for (
        const char* wanted :
        {R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
         R"(processorArchitecture="amd64")",
         R"(<consoleAllocationPolicy xmlns="http://schemas.microsoft.com/SMI/2024/WindowsSettings">detached<)"}) {
        EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted << " is not in\n" << manifest;
    }
}

TEST_P(ProgramResources, VersionResourceNamesTheProgram) {
    const std::string version = resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    ASSERT_FALSE(version.empty());
    std::wstring name;
    for (const char letter : std::string(GetParam()) + ".exe") {
        name += static_cast<wchar_t>(letter);
    }
    const std::string utf16(reinterpret_cast<const char*>(name.c_str()), name.size() * sizeof(wchar_t));
    EXPECT_NE(version.find(utf16), std::string::npos);
}

// What is shipped carries no symbol table: the COFF header's pointer to one and its count are zero.
TEST_P(ProgramResources, ShippedProgramHasNoSymbolTable) {
    const std::string image = readFile(siblingProgram(GetParam()));
    ASSERT_GT(image.size(), 0x40u);
    std::uint32_t header = 0;
    std::memcpy(&header, image.data() + 0x3C, sizeof(header));
    ASSERT_LE(header + 4u + sizeof(IMAGE_FILE_HEADER), image.size());
    ASSERT_EQ(image.compare(header, 4, std::string("PE\0\0", 4)), 0);
    IMAGE_FILE_HEADER coff{};
    std::memcpy(&coff, image.data() + header + 4, sizeof(coff));
    EXPECT_EQ(coff.PointerToSymbolTable, 0u);
    EXPECT_EQ(coff.NumberOfSymbols, 0u);
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramResources, testing::Values("Kestrane", "Halvicor"));

using VersionNumbers = std::array<unsigned, 4>;

struct VersionCase {
    const char* program;
    VersionNumbers expected;
    const wchar_t* description;  // what Explorer and the installers show for the file
    friend void PrintTo(const VersionCase& tested, std::ostream* out) { *out << tested.program; }
};

// The version as installers and Explorer read it: the numbers of the fixed part, and the strings of the
// block that the Translation entry names.
class ProgramVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(ProgramVersion, NumbersAndStringsCarryItFieldByField) {
    const std::filesystem::path program = siblingProgram(GetParam().program);
    std::vector<unsigned char> data(::GetFileVersionInfoSizeW(program.c_str(), nullptr));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    void* found = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", &found, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(found);
    const VersionNumbers& expected = GetParam().expected;
    for (const DWORD part : {fixed->dwFileVersionMS, fixed->dwProductVersionMS}) {
        EXPECT_EQ((VersionNumbers{HIWORD(part), LOWORD(part), expected[2], expected[3]}), expected);
    }
    for (const DWORD part : {fixed->dwFileVersionLS, fixed->dwProductVersionLS}) {
        EXPECT_EQ((VersionNumbers{expected[0], expected[1], HIWORD(part), LOWORD(part)}), expected);
    }

    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &found, &length));
    ASSERT_GE(length, 4u);
    const auto* translation = static_cast<const WORD*>(found);
    const std::wstring text = std::to_wstring(expected[0]) + L"." + std::to_wstring(expected[1]) + L"." +
                              std::to_wstring(expected[2]) + L"." + std::to_wstring(expected[3]);
    for (const auto& [name, value] : {std::pair{L"FileVersion", text}, std::pair{L"ProductVersion", text},
                                      std::pair{L"FileDescription", std::wstring(GetParam().description)}}) {
        wchar_t query[64];
        std::swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1], name);
        ASSERT_TRUE(::VerQueryValueW(data.data(), query, &found, &length)) << "no " << name << " string";
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(found)), value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramVersion,
    testing::Values(VersionCase{"Kestrane", {PROJECT_VERSION_NUMBERS}, L"Default audio endpoint keeper"},
                    VersionCase{"Halvicor", {PROJECT_VERSION_NUMBERS}, L"Camera device-change notifier"},
                    VersionCase{"program_resource_tests",
                                {4, 3, 2, 1},
                                L"The version resource of the programs, with another version"}));

}  // namespace
