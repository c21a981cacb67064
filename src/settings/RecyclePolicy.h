#pragma once

#include <chrono>
#include <vector>

// When the program is restarted as planned, from <recycle> of <execution>;
// 0 (or no times) stands for "not set".
struct RecyclePolicy {
    // Bytes committed by the program and the processes it started.
    long long memory = 0;
    // How long a run may last.
    std::chrono::milliseconds every{0};
    // Local times of day in minutes after midnight, ascending, each once.
    std::vector<int> at;

    bool any() const { return memory != 0 || every.count() != 0 || !at.empty(); }
};
