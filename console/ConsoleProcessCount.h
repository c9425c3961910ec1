#pragma once

#include <cstdint>
#include <iterator>

namespace console {

// How many processes share the console, asked of query (GetConsoleProcessList, or a fake) with room for a
// few: the count comes back whole even where it is larger than the room, and the room is given in entries,
// not bytes.
template <typename ProcessId, typename Query>
std::uint32_t consoleProcessCountFrom(Query query) {
    ProcessId processes[4] = {};
    return static_cast<std::uint32_t>(query(processes, static_cast<ProcessId>(std::size(processes))));
}

}  // namespace console
