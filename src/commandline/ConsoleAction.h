#pragma once

#include <string>

class Argz;
class ConsoleWriter;

// One command of the program, selected by its command word.
class ConsoleAction {
public:
    explicit ConsoleAction(std::wstring name) : name_(std::move(name)) {}
    virtual ~ConsoleAction() = default;

    const std::wstring& name() const { return name_; }

    virtual void printUsage(ConsoleWriter& writer) = 0;
    // Runs the command with the arguments that follow the command word.
    virtual int execute(const Argz& arguments) = 0;

private:
    std::wstring name_;
};
