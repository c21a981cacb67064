#pragma once

class Argz;
class ConsoleWriter;

// Builds the table of commands and dispatches one run.
class HostwellRunner {
public:
    explicit HostwellRunner(ConsoleWriter* writer) : writer_(writer) {}
    virtual ~HostwellRunner() = default;

    int run(const Argz& arguments);

private:
    ConsoleWriter* writer_;
};
