#pragma once

#include <string>
#include <vector>

// The environment a child is started with, built apart from the wrapper's
// own so that building it twice gives the same result. Names ignore letter
// case, as Windows compares them.
class EnvironmentBlock {
public:
    // The variables the wrapper itself runs with.
    static EnvironmentBlock ofThisProcess();

    // Adds or replaces the variable; false (with ERROR_INVALID_PARAMETER as
    // the last error) for a name that is empty or contains "=".
    bool set(const std::wstring& name, const std::wstring& value);
    void remove(const std::wstring& name);
    // The value, or null when the variable is not set.
    const std::wstring* find(const std::wstring& name) const;
    // Replaces every %NAME% by the variable's value; an unknown one stays as
    // written.
    std::wstring expand(const std::wstring& text) const;
    // "name=value" strings, sorted by name as Windows expects, each ended by
    // a zero and the whole ended by another: the block CreateProcess takes.
    std::vector<wchar_t> block() const;

private:
    struct Variable {
        std::wstring name;
        std::wstring value;
    };

    std::vector<Variable> variables_;
};
