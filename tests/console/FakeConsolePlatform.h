#pragma once

#include <set>
#include <string>
#include <vector>

#include "OwnConsole.h"

// A console as a test sets it up, each call recorded in order into the test's own list of events.
class FakeConsolePlatform : public console::ConsolePlatform {
  public:
    explicit FakeConsolePlatform(std::vector<std::string>& recorded) : events(recorded) {}

    std::uint32_t consoleProcessCount() override {
        events.push_back("GetConsoleProcessList");
        return processes;
    }
    void* consoleWindow() override {
        events.push_back("GetConsoleWindow");
        return &processes;
    }
    std::string windowClassName(void* window) override {
        events.push_back(std::string("GetClassName ") + (window == &processes ? "console" : "?"));
        return windowClass;
    }
    void showWindow(void* window, int command) override {
        events.push_back(std::string("ShowWindow ") + (window == &processes ? "console" : "?") + " " +
                         std::to_string(command));
    }
    bool isConsoleHandle(std::uint32_t standardHandle) override {
        events.push_back("GetConsoleMode " + nameOf(standardHandle));
        return consoleHandles.count(standardHandle) != 0;
    }
    void pointStreamAtNul(std::uint32_t standardHandle) override {
        events.push_back("stream on NUL " + nameOf(standardHandle));
    }
    void freeConsole() override { events.push_back("FreeConsole"); }
    void pointStandardHandleAtStream(std::uint32_t standardHandle) override {
        events.push_back("SetStdHandle " + nameOf(standardHandle));
    }

    static std::string nameOf(std::uint32_t standardHandle) {
        return standardHandle == STD_INPUT_HANDLE    ? "input"
               : standardHandle == STD_OUTPUT_HANDLE ? "output"
               : standardHandle == STD_ERROR_HANDLE  ? "error"
                                                     : std::to_string(standardHandle);
    }

    std::uint32_t processes = 1;
    std::string windowClass = "ConsoleWindowClass";
    std::set<std::uint32_t> consoleHandles = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

  private:
    std::vector<std::string>& events;
};

// What a conhost console made for the program alone gets: hidden, given up, its handles then on NUL.
inline const std::vector<std::string> conhostConsoleGivenUp = {
    "GetConsoleProcessList", "GetConsoleWindow",    "GetClassName console",  "ShowWindow console 0",
    "GetConsoleMode input",  "stream on NUL input", "GetConsoleMode output", "stream on NUL output",
    "GetConsoleMode error",  "stream on NUL error", "FreeConsole",           "SetStdHandle input",
    "SetStdHandle output",   "SetStdHandle error"};
