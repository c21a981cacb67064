#pragma once

#include <windows.h>

// An anonymous pipe whose ends are not inherited until one is handed to a
// child. The pipe owns both ends.
class Pipe {
public:
    explicit Pipe(DWORD bufferSize = 0);
    virtual ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    HANDLE readHandle() const { return readHandle_; }
    HANDLE writeHandle() const { return writeHandle_; }
    bool isValid() const { return valid_; }

    // Closes whichever end equals `handle`.
    void close(HANDLE handle);
    void makeInheritable(HANDLE handle);

protected:
    bool valid_ = false;

private:
    bool replaceByNonInheritableDuplicate(HANDLE& end);
    void closeField(HANDLE& field);

    HANDLE readHandle_ = nullptr;
    HANDLE writeHandle_ = nullptr;
};

// The roles of a pipe for a child process: which end it receives.
class ChildProcessHandle : public Pipe {
public:
    explicit ChildProcessHandle(DWORD bufferSize = 0) : Pipe(bufferSize) {}
    virtual HANDLE childEnd() const = 0;
    virtual HANDLE parentEnd() const = 0;
    virtual void closeChildEnd() = 0;
};

// The child's standard input; the wrapper closes its end at once, so the
// child reads end-of-file.
class ChildProcessInHandle : public ChildProcessHandle {
public:
    HANDLE childEnd() const override { return readHandle(); }
    HANDLE parentEnd() const override { return writeHandle(); }
    void closeChildEnd() override;
};

// The child's standard output and, through a duplicate, its standard error.
class ChildProcessOutHandle : public ChildProcessHandle {
public:
    // Larger than the system default, so that a program writing fast does
    // not stall while the reader is between two reads.
    static const DWORD BUFFER_SIZE = 1024 * 1024;

    ChildProcessOutHandle();
    ~ChildProcessOutHandle() override;

    HANDLE childEnd() const override { return writeHandle(); }
    HANDLE parentEnd() const override { return readHandle(); }
    HANDLE errorHandle() const { return errorHandle_; }
    void closeChildEnd() override;

private:
    HANDLE errorHandle_ = nullptr;
};
