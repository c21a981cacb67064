#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "settings/ProbeTarget.h"

// One look at whether the program answers, made without a thread of its own:
// begin() starts it, its event is set when it has a step to take, and once
// advance() says the answer is in, finish() reads it. A probe that does not
// finish in time is cancelled.
class Probe {
public:
    virtual ~Probe() = default;
    // False when it failed at once; error() says why.
    virtual bool begin() = 0;
    virtual HANDLE event() const = 0;
    // Called when the event is set: true once the answer is in, false while
    // the probe goes on (its event may be another one then).
    virtual bool advance() { return true; }
    // Called once the answer is in: true when the program answered as it should.
    virtual bool finish() = 0;
    // Abandons a probe under way; nothing of it is left running.
    virtual void cancel() = 0;
    // Why the last probe failed, for messages: "connection refused (10061)".
    const std::wstring& error() const { return error_; }

protected:
    std::wstring error_;
};

// A probe of the target that gives up after `timeoutMs`, or null when one
// cannot be made (logged).
std::unique_ptr<Probe> makeProbe(const ProbeTarget& target, DWORD timeoutMs);
