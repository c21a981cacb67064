#pragma once

// An operation on the operating system or on files: 0 for success, 1 for failure.
class Command {
public:
    virtual ~Command() = default;
    virtual int execute() = 0;
};
