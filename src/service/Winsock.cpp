#include "service/Winsock.h"

#include <memory>

#include "common/SystemLibrary.h"

const Winsock* winsock()
{
    static const Winsock* const loaded = []() -> const Winsock* {
        const HMODULE dll = loadSystemLibrary(L"ws2_32.dll").release();
        std::unique_ptr<Winsock> functions(new Winsock);
        const bool complete =
            dll != nullptr && loadFunction(dll, "WSAStartup", functions->startup) &&
            loadFunction(dll, "WSACreateEvent", functions->createEvent) &&
            loadFunction(dll, "WSACloseEvent", functions->closeEvent) &&
            loadFunction(dll, "WSAResetEvent", functions->resetEvent) &&
            loadFunction(dll, "GetAddrInfoW", functions->getAddrInfo) &&
            loadFunction(dll, "FreeAddrInfoW", functions->freeAddrInfo) && loadFunction(dll, "socket", functions->socket) &&
            loadFunction(dll, "WSAEventSelect", functions->eventSelect) &&
            loadFunction(dll, "connect", functions->connect) &&
            loadFunction(dll, "WSAGetLastError", functions->getLastError) &&
            loadFunction(dll, "WSAEnumNetworkEvents", functions->enumNetworkEvents) &&
            loadFunction(dll, "closesocket", functions->closeSocket);
        WSADATA data;
        return complete && functions->startup(MAKEWORD(2, 2), &data) == 0 ? functions.release() : nullptr;
    }();
    return loaded;
}
