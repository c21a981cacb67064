#pragma once

#include "commandline/Argz.h"

// Rewrites the command line before it is dispatched.
class ArgsWeaver {
public:
    virtual ~ArgsWeaver() = default;
    // Always a new list: the rewritten one, or a copy of the input.
    virtual Argz weave(const Argz& arguments) = 0;
};
