#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

// Winsock's functions, from the DLL loaded with the first TCP probe: a service
// without one does not carry ws2_32 and the DLLs it needs.
struct Winsock {
    decltype(&::WSAStartup) startup = nullptr;
    decltype(&::WSACreateEvent) createEvent = nullptr;
    decltype(&::WSACloseEvent) closeEvent = nullptr;
    decltype(&::WSAResetEvent) resetEvent = nullptr;
    decltype(&::GetAddrInfoW) getAddrInfo = nullptr;
    decltype(&::FreeAddrInfoW) freeAddrInfo = nullptr;
    decltype(&::socket) socket = nullptr;
    decltype(&::WSAEventSelect) eventSelect = nullptr;
    decltype(&::connect) connect = nullptr;
    decltype(&::WSAGetLastError) getLastError = nullptr;
    decltype(&::WSAEnumNetworkEvents) enumNetworkEvents = nullptr;
    decltype(&::closesocket) closeSocket = nullptr;
};

// Loaded and started once for the life of the process, never freed or
// cleaned up; null when that failed.
const Winsock* winsock();
