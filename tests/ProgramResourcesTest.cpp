#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ChildProcess.h"

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

TEST_P(ProgramResources, ManifestAsksToRunAsInvokerWithoutUiAccess) {
    const std::string manifest = resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    EXPECT_NE(manifest.find(R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)"),
              std::string::npos)
        << manifest;
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

INSTANTIATE_TEST_SUITE_P(Programs, ProgramResources, testing::Values("Kestrane", "Halvicor"));

}  // namespace
