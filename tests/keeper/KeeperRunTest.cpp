#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "FakeAudioEndpointService.h"
#include "KeeperRun.h"

namespace keeper {
namespace {

const std::u16string speakers = u"{0.0.0.00000000}.{aaaa-r1}";
const std::u16string headset = u"{0.0.0.00000000}.{bbbb-r2}";
const std::u16string hdmi = u"{0.0.0.00000000}.{cccc-r3}";
const std::u16string mic = u"{0.0.1.00000000}.{dddd-c1}";
const std::u16string webcam = u"{0.0.1.00000000}.{eeee-c2}";

using Events = std::vector<std::string>;

const std::string retry = "68 Default device reset not complete yet, retry";
const std::string done = "75 *** DONE ***";
const std::string speakerTakenByHeadset =
    "149 Default speaker changed, Name:Headset ID:{0.0.0.00000000}.{bbbb-r2}";
const std::string speakerRestored = "290 Default speaker devices reset done";
const std::string micTakenByWebcam = "119 Default mic changed, Name:Webcam Mic ID:{0.0.1.00000000}.{eeee-c2}";
const std::string micRestored = "263 Default mic devices reset done";

std::vector<std::string> operator+(std::vector<std::string> front, const std::vector<std::string>& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

const std::vector<std::string> snapshot = {
    "163 Initial default audio devices:",
    "177 Speaker(eConsole) Name:Speakers ID:{0.0.0.00000000}.{aaaa-r1}",
    "188 Speaker(eMultimedia) Name:Speakers ID:{0.0.0.00000000}.{aaaa-r1}",
    "199 Speaker(eCommunications) Name:Speakers ID:{0.0.0.00000000}.{aaaa-r1}",
    "210 Mic(eConsole) Name:Microphone ID:{0.0.1.00000000}.{dddd-c1}",
    "221 Mic(eMultimedia) Name:Microphone ID:{0.0.1.00000000}.{dddd-c1}",
    "232 Mic(eCommunications) Name:Microphone ID:{0.0.1.00000000}.{dddd-c1}",
};
const std::vector<std::string> threeQuietRetries = {retry,       "wait 1000", retry,
                                                    "wait 1000", retry,       "wait 1000"};

// One run of the keeper against the fake, with changes to the defaults scripted at its waits.
class KeeperRun : public testing::Test {
  protected:
    KeeperRun() {
        audio.addEndpoint(speakers, u"Speakers");
        audio.addEndpoint(headset, u"Headset");
        audio.addEndpoint(hdmi, u"HDMI");
        audio.addEndpoint(mic, u"Microphone");
        audio.addEndpoint(webcam, u"Webcam Mic");
        for (const ERole role : {eConsole, eMultimedia, eCommunications}) {
            audio.setDefault(eRender, role, speakers);
            audio.setDefault(eCapture, role, mic);
        }
    }

    // Before the run's nth wait returns (1: the settle wait), the defaults change.
    void atWait(unsigned wait, std::function<void()> change) { changes[wait] = std::move(change); }

    int run() {
        KeeperContext context{audio, log, console, [this](std::uint32_t milliseconds) {
                                  log.events.push_back("wait " + std::to_string(milliseconds));
                                  const auto change = changes.find(++waits);
                                  if (change != changes.end()) {
                                      change->second();
                                  }
                              }};
        const int exitCode = runKeeper(context);
        EXPECT_EQ(audio.liveHandles(), 0u) << "handles not given back";
        EXPECT_EQ(audio.misuses(), 0u) << "a handle used after release, released twice, or outside COM";
        EXPECT_EQ(console.str(),
                  "Get Information about Default Audio Device\nInstallation in Progress\n"
                  "Installation Finished\n");
        return exitCode;
    }

    FakeAudioEndpointService audio;
    RecordingKeeperLog log;
    std::ostringstream console;
    std::map<unsigned, std::function<void()>> changes;
    unsigned waits = 0;
};

TEST_F(KeeperRun, NothingChangesSoEveryPassRetriesAndTheRunEndsAfterFour) {
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events, (snapshot + Events{"wait 2000"} + threeQuietRetries + Events{done}));
    EXPECT_TRUE(audio.assignments().empty());
}

TEST_F(KeeperRun, BothFlowsTakenBeforeTheFirstPassAreRestoredInOnePass) {
    atWait(1, [&] {
        audio.setDefault(eRender, eCommunications, headset);
        audio.setDefault(eCapture, eCommunications, webcam);
    });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events, (snapshot + Events{"wait 2000", speakerTakenByHeadset, speakerRestored,
                                             micTakenByWebcam, micRestored, done}));
    EXPECT_EQ(audio.assignments(), (Events{"0 {0.0.0.00000000}.{aaaa-r1}", "1 {0.0.0.00000000}.{aaaa-r1}",
                                           "2 {0.0.0.00000000}.{aaaa-r1}", "0 {0.0.1.00000000}.{dddd-c1}",
                                           "1 {0.0.1.00000000}.{dddd-c1}", "2 {0.0.1.00000000}.{dddd-c1}"}));
    EXPECT_EQ(audio.defaultOf(eRender, eCommunications), speakers);
    EXPECT_EQ(audio.defaultOf(eCapture, eCommunications), mic);
}

TEST_F(KeeperRun, OnlyTheSpeakerTakenThenLaterPassesWatchTheMicAlone) {
    atWait(1, [&] { audio.setDefault(eRender, eCommunications, headset); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events, (snapshot + Events{"wait 2000", speakerTakenByHeadset, speakerRestored} +
                           threeQuietRetries + Events{done}));
    // Six snapshot lookups, both flows in pass 1, the mic alone in passes 2 to 4.
    EXPECT_EQ(audio.callsOf(Operation::getDefaultEndpoint), 6u + 2u + 3u);
}

TEST_F(KeeperRun, SpeakerTakenBeforeTheThirdPassIsRestoredThereAndTheFourthPassEndsTheRun) {
    atWait(3, [&] { audio.setDefault(eRender, eCommunications, headset); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events,
              (snapshot + Events{"wait 2000", retry, "wait 1000", retry, "wait 1000", speakerTakenByHeadset,
                                 speakerRestored, retry, "wait 1000", done}));
}

class KeeperRunOtherRoleChanges : public KeeperRun,
                                  public testing::WithParamInterface<std::pair<EDataFlow, ERole>> {};

TEST_P(KeeperRunOtherRoleChanges, IsNoTakeover) {
    const auto [flow, role] = GetParam();
    atWait(1, [&, flow = flow, role = role] {
        audio.setDefault(flow, role, flow == eRender ? headset : webcam);
    });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events, (snapshot + Events{"wait 2000"} + threeQuietRetries + Events{done}));
    EXPECT_TRUE(audio.assignments().empty());
}

INSTANTIATE_TEST_SUITE_P(ConsoleOrMultimedia, KeeperRunOtherRoleChanges,
                         testing::Values(std::pair{eRender, eConsole}, std::pair{eRender, eMultimedia},
                                         std::pair{eCapture, eConsole}, std::pair{eCapture, eMultimedia}));

TEST_F(KeeperRun, IdentifierDifferingOnlyInLetterCaseIsATakeover) {
    const std::u16string shouting = u"{0.0.0.00000000}.{AAAA-R1}";
    audio.addEndpoint(shouting, u"Speakers");
    atWait(1, [&] { audio.setDefault(eRender, eCommunications, shouting); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events[8], "149 Default speaker changed, Name:Speakers ID:{0.0.0.00000000}.{AAAA-R1}");
    EXPECT_EQ(log.events[9], speakerRestored);
}

TEST_F(KeeperRun, EachRoleGoesBackToItsOwnEndpoint) {
    audio.setDefault(eRender, eMultimedia, headset);
    audio.setDefault(eRender, eCommunications, hdmi);
    atWait(1, [&] { audio.setDefault(eRender, eCommunications, speakers); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(audio.assignments(), (Events{"0 {0.0.0.00000000}.{aaaa-r1}", "1 {0.0.0.00000000}.{bbbb-r2}",
                                           "2 {0.0.0.00000000}.{cccc-r3}"}));
    EXPECT_EQ(audio.defaultOf(eRender, eConsole), speakers);
    EXPECT_EQ(audio.defaultOf(eRender, eMultimedia), headset);
    EXPECT_EQ(audio.defaultOf(eRender, eCommunications), hdmi);
}

TEST_F(KeeperRun, OneRoleFailingIsRecordedBetweenTakeoverAndCompletionAndTheOthersAreStillSet) {
    audio.failRole(eMultimedia, FakeAudioEndpointService::accessDenied);
    audio.failRole(eConsole, 1);  // S_FALSE: set, nothing else to say; a success, not a failure
    atWait(1, [&] { audio.setDefault(eCapture, eCommunications, webcam); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events,
              (snapshot +
               Events{"wait 2000", micTakenByWebcam,
                      "254 ERROR: mic(eMultimedia) reset failed, error:-2147024891", micRestored} +
               threeQuietRetries + Events{done}));
    EXPECT_EQ(audio.assignments().size(), 3u);
}

TEST_F(KeeperRun, PolicyObjectMissingMeansNoRestoreRecordAndTheFlowIsNotWatchedAgain) {
    audio.failCall(Operation::openPolicyConfiguration, 1);
    atWait(1, [&] { audio.setDefault(eRender, eCommunications, headset); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events,
              (snapshot + Events{"wait 2000", speakerTakenByHeadset} + threeQuietRetries + Events{done}));
    EXPECT_TRUE(audio.assignments().empty());
}

TEST_F(KeeperRun, AbsentSnapshotIdIsRecordedAsPlaceholderAndItsFlowIsNeverATakeover) {
    audio.failCall(Operation::getEndpointId, 3);  // the speaker's communications pair
    atWait(1, [&] { audio.setDefault(eRender, eCommunications, headset); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events[3], "199 Speaker(eCommunications) Name:Speakers ID:<no id>");
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), speakerTakenByHeadset), 0);
    EXPECT_TRUE(audio.assignments().empty());
}

TEST_F(KeeperRun, UnreadableCurrentIdIsNoTakeoverAndIsTriedAgainNextPass) {
    atWait(1, [&] { audio.setDefault(eRender, eCommunications, headset); });
    audio.failCall(Operation::getEndpointId, 7);  // pass 1, speaker
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events, (snapshot + Events{"wait 2000", retry, "wait 1000", speakerTakenByHeadset,
                                             speakerRestored, retry, "wait 1000", retry, "wait 1000", done}));
}

TEST_F(KeeperRun, RoleWithoutSavedIdIsSkippedByTheRestore) {
    audio.failCall(Operation::getDefaultEndpoint, 1);  // the speaker's console pair: skipped, no record
    atWait(1, [&] { audio.setDefault(eRender, eCommunications, headset); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(std::find(log.events.begin(), log.events.end(), snapshot[1]), log.events.end());
    EXPECT_EQ(audio.assignments(), (Events{"1 {0.0.0.00000000}.{aaaa-r1}", "2 {0.0.0.00000000}.{aaaa-r1}"}));
}

TEST_F(KeeperRun, SnapshotWithoutEnumeratorRecordsOnlyItsHeaderAndSeesNoTakeover) {
    audio.failCall(Operation::openDeviceEnumerator, 1);
    atWait(1, [&] { audio.setDefault(eRender, eCommunications, headset); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events, (Events{snapshot[0], "wait 2000"} + threeQuietRetries + Events{done}));
}

TEST_F(KeeperRun, TextsThatAreNotUtf16GetAPlaceholderAndTheRunGoesOn) {
    const std::u16string broken = u"{0.0.0.00000000}.{\xDC00}";
    audio.addEndpoint(broken, u"Broken");
    audio.failCall(Operation::getFriendlyName, 1);
    atWait(1, [&] { audio.setDefault(eRender, eCommunications, broken); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.events[1], "177 Speaker(eConsole) Name:<not valid UTF-16> ID:{0.0.0.00000000}.{aaaa-r1}");
    EXPECT_EQ(log.events[8], "149 Default speaker changed, Name:Broken ID:<not valid UTF-16>");
    EXPECT_EQ(log.events[9], speakerRestored);
}

// Every operation failing at each of its call points, one at a time, in a run where both flows are taken
// over before the second pass: the run ends normally, gives every handle back, and records the failure.
class KeeperRunFaultSweep : public testing::TestWithParam<Operation> {
  protected:
    struct Run : KeeperRun {
        using KeeperRun::audio;
        using KeeperRun::log;
        using KeeperRun::run;
        Run() {
            atWait(2, [this] {
                audio.setDefault(eRender, eCommunications, headset);
                audio.setDefault(eCapture, eCommunications, webcam);
            });
        }
        void TestBody() override {}
        std::ptrdiff_t count(const std::string& event) const {
            return std::count(log.events.begin(), log.events.end(), event);
        }
        std::ptrdiff_t countContaining(const std::string& text) const {
            return std::count_if(log.events.begin(), log.events.end(), [&](const std::string& event) {
                return event.find(text) != std::string::npos;
            });
        }
    };

    // The restore sets the speaker's three roles, then the mic's: its nth call failing writes the nth record.
    static constexpr const char* roleFailures[] = {
        "276 ERROR: speaker(eConsole) reset failed, error:-2147024891",
        "281 ERROR: speaker(eMultimedia) reset failed, error:-2147024891",
        "286 ERROR: speaker(eCommunications) reset failed, error:-2147024891",
        "249 ERROR: mic(eConsole) reset failed, error:-2147024891",
        "254 ERROR: mic(eMultimedia) reset failed, error:-2147024891",
        "259 ERROR: mic(eCommunications) reset failed, error:-2147024891",
    };

    // What the records show of one failure. Snapshot calls 1 to 6 are the six pairs in order; pairs 3 and 6
    // hold the communications identifiers that later passes compare with.
    static void expectRecordsOf(Operation operation, unsigned call, const Run& run) {
        const bool snapshotCall = call <= 6;
        const bool losesSpeakerBaseline = snapshotCall && call == 3;
        const bool losesMicBaseline = snapshotCall && call == 6;
        const auto expectBothTakeovers = [&](bool speakerSeen, bool micSeen) {
            EXPECT_EQ(run.countContaining("149 Default speaker changed, Name:"), speakerSeen ? 1 : 0);
            EXPECT_EQ(run.countContaining("119 Default mic changed, Name:"), micSeen ? 1 : 0);
        };
        switch (operation) {
            case Operation::initializeCom:
                expectBothTakeovers(true, true);
                break;
            case Operation::openDeviceEnumerator:
                EXPECT_EQ(run.countContaining(" Name:"), call == 1 ? 0 : 8);
                expectBothTakeovers(call != 1, call != 1);
                break;
            case Operation::getDefaultEndpoint:
                if (snapshotCall) {
                    EXPECT_EQ(run.count(snapshot[call]), 0);
                }
                expectBothTakeovers(!losesSpeakerBaseline, !losesMicBaseline);
                break;
            case Operation::getEndpointId:
                EXPECT_EQ(run.countContaining("ID:<no id>"), snapshotCall ? 1 : 0);
                expectBothTakeovers(!losesSpeakerBaseline, !losesMicBaseline);
                break;
            case Operation::getFriendlyName:
                EXPECT_EQ(run.countContaining("Name:<not valid UTF-16> ID:"), 1);
                expectBothTakeovers(true, true);
                break;
            case Operation::openPolicyConfiguration:
                EXPECT_EQ(run.count(speakerRestored) + run.count(micRestored), 1);
                expectBothTakeovers(true, true);
                break;
            case Operation::assignDefaultEndpoint:
                EXPECT_EQ(run.countContaining("reset failed, error:"), 1);
                EXPECT_EQ(run.count(roleFailures[call - 1]), 1);
                EXPECT_EQ(run.count(speakerRestored) + run.count(micRestored), 2);
                break;
        }
    }
};

TEST_P(KeeperRunFaultSweep, RunEndsNormallyReturnsEveryHandleAndRecordsTheFailure) {
    unsigned callPoints = 0;
    {
        Run baseline;
        baseline.run();
        callPoints = baseline.audio.callsOf(GetParam());
    }
    ASSERT_GT(callPoints, 0u);
    for (unsigned call = 1; call <= callPoints; ++call) {
        SCOPED_TRACE(std::string(operationName(GetParam())) + " fails at call " + std::to_string(call));
        Run faulted;
        faulted.audio.failCall(GetParam(), call);
        EXPECT_EQ(faulted.run(), 0);
        const std::vector<std::string>& events = faulted.log.events;
        ASSERT_GE(events.size(), 3u);
        EXPECT_EQ(events.front(), snapshot[0]);
        EXPECT_EQ(events.back(), done);
        EXPECT_EQ(faulted.count("wait 2000"), 1);
        EXPECT_LE(faulted.count("wait 1000"), 3);
        expectRecordsOf(GetParam(), call, faulted);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, KeeperRunFaultSweep,
                         testing::Values(Operation::initializeCom, Operation::openDeviceEnumerator,
                                         Operation::getDefaultEndpoint, Operation::getEndpointId,
                                         Operation::getFriendlyName, Operation::openPolicyConfiguration,
                                         Operation::assignDefaultEndpoint),
                         [](const testing::TestParamInfo<Operation>& tested) {
                             return std::string(operationName(tested.param));
                         });

}  // namespace
}  // namespace keeper
