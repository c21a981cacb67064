#pragma once

#include <atomic>

enum LogLevelValue : int {
    LEVEL_DEBUG = 1,
    LEVEL_INFO = 2,
    LEVEL_WARN = 3,
    LEVEL_ERROR = 4,
};

class LogLevel {
public:
    virtual ~LogLevel() = default;
    virtual bool isEnabled(int level) const = 0;
};

// A threshold: a message passes when its level is at least the threshold.
class LogLevelSetup : public LogLevel {
public:
    explicit LogLevelSetup(int threshold) : threshold_(threshold) {}

    bool isEnabled(int level) const override { return level >= threshold_; }
    int threshold() const { return threshold_; }
    void setLevel(int threshold) { threshold_ = threshold; }

private:
    // Read by every thread that logs.
    std::atomic<int> threshold_;
};
