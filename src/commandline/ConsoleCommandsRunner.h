#pragma once

class Argz;
class ConsoleAction;
class ConsoleWriter;

// Selects the action named by the first argument and runs it.
class ConsoleCommandsRunner {
public:
    ConsoleCommandsRunner(ConsoleWriter* writer, const Argz* args, ConsoleAction* const* actions)
        : writer_(writer), args_(args), actions_(actions)
    {
    }
    virtual ~ConsoleCommandsRunner() = default;

    int run();
    int printUsage();

private:
    void printTrace();

    ConsoleWriter* writer_;
    const Argz* args_;
    ConsoleAction* const* actions_;
};
