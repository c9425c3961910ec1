#include <gtest/gtest.h>

#include "FakeConsolePlatform.h"

namespace {

struct ConsoleCase {
    const char* name;
    std::uint32_t processes;
    std::string windowClass;
    std::set<std::uint32_t> consoleHandles;
    std::vector<std::string> calls;
};

class ConsoleMadeForTheProgram : public testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleMadeForTheProgram, IsGivenUpWithItsHandlesOnNulAndOnlyAConhostWindowHidden) {
    std::vector<std::string> events;
    FakeConsolePlatform platform(events);
    platform.processes = GetParam().processes;
    platform.windowClass = GetParam().windowClass;
    platform.consoleHandles = GetParam().consoleHandles;
    console::hideConsoleMadeForThisProcess(platform);
    EXPECT_EQ(events, GetParam().calls);
}

const std::set<std::uint32_t> allThree = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

INSTANTIATE_TEST_SUITE_P(
    Windows, ConsoleMadeForTheProgram,
    testing::Values(
        ConsoleCase{"Conhost", 1, "ConsoleWindowClass", allThree, conhostConsoleGivenUp},
        // A hide of Terminal's stand-in reaches Terminal's own window, and the user's other tabs with it.
        ConsoleCase{"TerminalsStandIn",
                    1,
                    "PseudoConsoleWindow",
                    allThree,
                    {"GetConsoleProcessList", "GetConsoleWindow", "GetClassName console",
                     "GetConsoleMode input", "stream on NUL input", "GetConsoleMode output",
                     "stream on NUL output", "GetConsoleMode error", "stream on NUL error", "FreeConsole",
                     "SetStdHandle input", "SetStdHandle output", "SetStdHandle error"}},
        // Output and errors handed over as a pipe or a file stay where the starter sent them.
        ConsoleCase{"WithHandedOutput",
                    1,
                    "ConsoleWindowClass",
                    {STD_INPUT_HANDLE},
                    {"GetConsoleProcessList", "GetConsoleWindow", "GetClassName console",
                     "ShowWindow console 0", "GetConsoleMode input", "stream on NUL input",
                     "GetConsoleMode output", "GetConsoleMode error", "FreeConsole", "SetStdHandle input"}},
        ConsoleCase{"SharedWithItsStarter", 2, "ConsoleWindowClass", allThree, {"GetConsoleProcessList"}},
        ConsoleCase{"SharedInTerminal", 2, "PseudoConsoleWindow", allThree, {"GetConsoleProcessList"}}),
    [](const testing::TestParamInfo<ConsoleCase>& tested) { return std::string(tested.param.name); });

}  // namespace
