#include "KeeperRun.h"

#include <stdexcept>

#include "Utf8.h"

namespace keeper {

namespace {

// Texts that stand in a record where the real value is missing or cannot be converted.
constexpr const char* absentIdText = "<no id>";
constexpr const char* unconvertibleText = "<not valid UTF-16>";

constexpr std::uint32_t settleMilliseconds = 2000;
constexpr std::uint32_t retryMilliseconds = 1000;
constexpr unsigned lastRetriedPass = 3;  // passes 1 to 3 are followed by a retry; the fourth is the last

struct SnapshotPair {
    EDataFlow flow;
    ERole role;
    std::int32_t line;
    const char* message;
};

constexpr SnapshotPair snapshotPairs[] = {
    {eRender, eConsole, 177, "Speaker(eConsole) Name:"},
    {eRender, eMultimedia, 188, "Speaker(eMultimedia) Name:"},
    {eRender, eCommunications, 199, "Speaker(eCommunications) Name:"},
    {eCapture, eConsole, 210, "Mic(eConsole) Name:"},
    {eCapture, eMultimedia, 221, "Mic(eMultimedia) Name:"},
    {eCapture, eCommunications, 232, "Mic(eCommunications) Name:"},
};

struct Record {
    std::int32_t line;
    const char* message;
};

struct FlowRecords {
    Record takeover;
    Record roleFailure[3];  // by ERole
    Record done;
};

constexpr FlowRecords flowRecords[] = {
    {{149, "Default speaker changed, Name:"},
     {{276, "ERROR: speaker(eConsole) reset failed, error:"},
      {281, "ERROR: speaker(eMultimedia) reset failed, error:"},
      {286, "ERROR: speaker(eCommunications) reset failed, error:"}},
     {290, "Default speaker devices reset done"}},
    {{119, "Default mic changed, Name:"},
     {{249, "ERROR: mic(eConsole) reset failed, error:"},
      {254, "ERROR: mic(eMultimedia) reset failed, error:"},
      {259, "ERROR: mic(eCommunications) reset failed, error:"}},
     {263, "Default mic devices reset done"}},
};

constexpr ERole restoredRoles[] = {eConsole, eMultimedia, eCommunications};

// A text from the platform that is not well-formed UTF-16 must not end the run: the record says so instead.
template <typename Convert>
std::string textOrPlaceholder(Convert convert) {
    try {
        return convert();
    } catch (const std::range_error&) {
        return unconvertibleText;
    }
}

std::string idText(const std::optional<EndpointId>& id) {
    if (!id) {
        return absentIdText;
    }
    return textOrPlaceholder([&] { return toUtf8(id->c_str()); });
}

std::string nameText(KeeperContext& context, EndpointHandle endpoint) {
    return textOrPlaceholder([&] { return context.audio.getFriendlyName(endpoint); });
}

void watchForTakeover(KeeperContext& context, const SavedDefaults& saved) {
    bool speakerDone = false;
    bool micDone = false;
    unsigned passes = 0;
    for (;;) {
        if (!speakerDone && checkTakeover(context, saved, eRender)) {
            restoreDefaults(context, saved, eRender);
            speakerDone = true;
        }
        if (!micDone && checkTakeover(context, saved, eCapture)) {
            restoreDefaults(context, saved, eCapture);
            micDone = true;
        }
        if ((speakerDone && micDone) || ++passes > lastRetriedPass) {
            return;
        }
        context.log.logMessage(68, "Default device reset not complete yet, retry");
        context.wait(retryMilliseconds);
    }
}

}  // namespace

void recordInitialDefaults(KeeperContext& context, SavedDefaults& saved) {
    context.log.logMessage(163, "Initial default audio devices:");
    OwnedHandle<EnumeratorHandle> enumerator(context.audio);
    if (!enumerator.adopt(context.audio.openDeviceEnumerator(enumerator.slot()))) {
        return;
    }
    for (const SnapshotPair& pair : snapshotPairs) {
        OwnedHandle<EndpointHandle> endpoint(context.audio);
        if (!endpoint.adopt(
                context.audio.getDefaultEndpoint(enumerator.get(), pair.flow, pair.role, endpoint.slot()))) {
            continue;
        }
        std::optional<EndpointId>& id = saved.of(pair.flow, pair.role);
        id = context.audio.getEndpointId(endpoint.get());
        std::string idUtf8 = idText(id);
        context.log.logNameId(pair.line, pair.message, nameText(context, endpoint.get()), std::move(idUtf8));
    }
}

bool checkTakeover(KeeperContext& context, const SavedDefaults& saved, EDataFlow flow) {
    OwnedHandle<EnumeratorHandle> enumerator(context.audio);
    if (!enumerator.adopt(context.audio.openDeviceEnumerator(enumerator.slot()))) {
        return false;
    }
    OwnedHandle<EndpointHandle> endpoint(context.audio);
    if (!endpoint.adopt(
            context.audio.getDefaultEndpoint(enumerator.get(), flow, eCommunications, endpoint.slot()))) {
        return false;
    }
    const std::optional<EndpointId> current = context.audio.getEndpointId(endpoint.get());
    const std::optional<EndpointId>& original = saved.of(flow, eCommunications);
    // Without both identifiers there is nothing to compare, and nothing that could be put back.
    if (!current || !original || *current == *original) {
        return false;
    }
    std::string idUtf8 = idText(current);
    const Record& takeover = flowRecords[flow].takeover;
    context.log.logNameId(takeover.line, takeover.message, nameText(context, endpoint.get()),
                          std::move(idUtf8));
    return true;
}

void restoreDefaults(KeeperContext& context, const SavedDefaults& saved, EDataFlow flow) {
    {
        OwnedHandle<PolicyHandle> policy(context.audio);
        if (!policy.adopt(context.audio.openPolicyConfiguration(policy.slot()))) {
            return;
        }
        for (const ERole role : restoredRoles) {
            const std::optional<EndpointId>& id = saved.of(flow, role);
            if (!id) {
                continue;  // no endpoint was recorded for this role: there is nothing to put back
            }
            const HResult result = context.audio.assignDefaultEndpoint(policy.get(), *id, role);
            if (result < 0) {
                const Record& failure = flowRecords[flow].roleFailure[role];
                context.log.logError(failure.line, failure.message, result);
            }
        }
    }
    const Record& done = flowRecords[flow].done;
    context.log.logMessage(done.line, done.message);
}

int runKeeper(KeeperContext& context) {
    context.console << "Get Information about Default Audio Device\n" << std::flush;
    context.audio.initializeCom();
    SavedDefaults saved;
    recordInitialDefaults(context, saved);
    context.console << "Installation in Progress\n" << std::flush;
    context.wait(settleMilliseconds);
    watchForTakeover(context, saved);
    context.audio.uninitializeCom();
    context.console << "Installation Finished\n" << std::flush;
    context.log.logMessage(75, "*** DONE ***");
    return 0;
}

}  // namespace keeper
