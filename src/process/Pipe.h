#pragma once

#include <windows.h>

// An anonymous pipe whose ends are not inherited until one is handed to a
// child. The pipe owns both ends.
class Pipe {
public:
    explicit Pipe(DWORD bufferSize = 0);
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    HANDLE readHandle() const { return readHandle_; }
    HANDLE writeHandle() const { return writeHandle_; }
    bool isValid() const { return valid_; }

    // Closes whichever end equals `handle`.
    void close(HANDLE handle);
    void makeInheritable(HANDLE handle);

private:
    bool replaceByNonInheritableDuplicate(HANDLE& end);
    void closeField(HANDLE& field);

    bool valid_ = false;
    HANDLE readHandle_ = nullptr;
    HANDLE writeHandle_ = nullptr;
};

// The child's standard input; the wrapper closes its end at once, so the
// child reads end-of-file.
class ChildProcessInHandle : public Pipe {
public:
    HANDLE childEnd() const { return readHandle(); }
    HANDLE parentEnd() const { return writeHandle(); }
    void closeChildEnd();
};
