#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/UniqueResource.h"

// The pipe a child writes its standard output and error into, or one of
// them when each has a pipe of its own. The wrapper's
// end is a named pipe opened for overlapped I/O, so that a read that waits can
// be cancelled on its own: Windows serialises every call on a synchronous
// handle, so no other thread could even look at the pipe while a read waits.
// The child's end is the ordinary synchronous handle an anonymous pipe gives.
class OutputPipe {
public:
    // Larger than the system default, so that a program writing fast does
    // not stall while the reader is between two reads.
    static const DWORD BUFFER_SIZE = 1024 * 1024;

    // Which of the child's streams the pipe takes.
    enum class Streams { OutputAndError, One };

    explicit OutputPipe(Streams streams = Streams::OutputAndError);
    // With the names `nextName` gives (false when it has none), tried until
    // one is not taken yet, a few times at most.
    explicit OutputPipe(const std::function<bool(std::wstring&)>& nextName,
                        Streams streams = Streams::OutputAndError);
    OutputPipe(const OutputPipe&) = delete;
    OutputPipe& operator=(const OutputPipe&) = delete;

    bool isValid() const { return readEnd_ && outputEnd_ && (errorEnd_ || streams_ == Streams::One); }
    HANDLE readEnd() const { return readEnd_.get(); }
    // The child's standard output and its standard error: two handles of the
    // same end. A pipe of one stream has only the first.
    HANDLE outputEnd() const { return outputEnd_.get(); }
    HANDLE errorEnd() const { return errorEnd_.get(); }

    // Made inheritable only just before the child starts, so that no other
    // child gets them.
    bool makeChildEndsInheritable();
    // Once the child has its ends the pipe ends with the last process that
    // writes into it.
    void closeChildEnds();

private:
    bool createReadEnd(const std::function<bool(std::wstring&)>& nextName, SECURITY_ATTRIBUTES& attributes,
                       std::wstring& name);

    Streams streams_;
    UniqueHandle readEnd_;
    UniqueHandle outputEnd_;
    UniqueHandle errorEnd_;
};
