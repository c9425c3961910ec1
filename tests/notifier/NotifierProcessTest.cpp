#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "LogFile.h"
#include "ScratchDirectory.h"

namespace {

struct ArgumentCase {
    std::vector<std::string> arguments;
    int exitCode;
    std::string record;
    friend void PrintTo(const ArgumentCase& tested, std::ostream* out) {
        for (const std::string& argument : tested.arguments) {
            *out << '"' << argument << "\" ";
        }
    }
};

// The program as an installer starts it, logging on: its exit code, its records, and a silent console.
class HalvicorProcess : public testing::TestWithParam<ArgumentCase> {};

TEST_P(HalvicorProcess, ExitCodeRecordsAndNothingOnTheConsole) {
    ScratchDirectory temporary("halvicor");
    ScratchDirectory output("output");
    std::filesystem::create_directory(temporary.path() / "qortavronotify");

    const ChildRun run =
        runChild(siblingProgram("Halvicor"), GetParam().arguments, temporary.path(), output.path());

    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    std::vector<std::string> records = logRecords(temporary.path() / "qortavronotify" / "Halvicor.txt");
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[0], "[55] ***** QORTavroNotifier Logs *****");
    EXPECT_EQ(records[1], GetParam().record);
    if (GetParam().exitCode == 0) {
        EXPECT_EQ(records.size(), 2u);
        return;
    }
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[2].rfind("[21] DBT_DEVNODES_CHANGED Status:", 0), 0u) << records[2];
    EXPECT_EQ(records[3].rfind("[39] AM_KSCATEGORY_CAPTURE Status:", 0), 0u) << records[3];
    EXPECT_EQ(records[4].rfind("[52] AM_KSCATEGORY_VIDEO Status:", 0), 0u) << records[4];
#ifndef _WIN32
    // Nothing to broadcast to here: each broadcast fails as unsupported, and the records say so.
    EXPECT_EQ(records[4], "[52] AM_KSCATEGORY_VIDEO Status:-1, ErrorCode:50");
#endif
}

const std::string addition = "[64] Broadcasting on device addition";
const std::string removal = "[68] Broadcasting on device removal";
const std::string invalid = "[72] ERROR: invalid parameter!!!";

INSTANTIATE_TEST_SUITE_P(Arguments, HalvicorProcess,
                         testing::Values(ArgumentCase{{"1"}, 1, addition}, ArgumentCase{{"0"}, 1, removal},
                                         ArgumentCase{{"10"}, 1, addition}, ArgumentCase{{"01"}, 1, removal},
                                         ArgumentCase{{"1", "0"}, 1, addition}, ArgumentCase{{}, 0, invalid},
                                         ArgumentCase{{""}, 0, invalid}, ArgumentCase{{"2"}, 0, invalid},
                                         ArgumentCase{{" 1"}, 0, invalid}, ArgumentCase{{"-1"}, 0, invalid}));

TEST(HalvicorWithoutMarker, WritesNoLogAndExitsAsBefore) {
    ScratchDirectory temporary("halvicor");
    ScratchDirectory output("output");
    EXPECT_EQ(runChild(siblingProgram("Halvicor"), {"1"}, temporary.path(), output.path()).exitCode, 1);
    EXPECT_EQ(runChild(siblingProgram("Halvicor"), {"x"}, temporary.path(), output.path()).exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));
}

}  // namespace
