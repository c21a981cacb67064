#pragma once

// Numbers the objects of a class in the order of their construction, from 1.
// The counter is never decreased: a number is never given twice.
template <typename T>
class InstanceCount {
public:
    InstanceCount() : instanceNumber_(++counter()) {}
    virtual ~InstanceCount() = default;

    int instanceNumber() const { return instanceNumber_; }

private:
    static int& counter()
    {
        static int count = 0;
        return count;
    }

    int instanceNumber_;
};
