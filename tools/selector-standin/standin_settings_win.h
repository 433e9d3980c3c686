// Where the stand-in listens and which cards document it serves.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

struct ListenEndpoint {
    sockaddr_storage address;
    int addressSize;
};

// The add-on's "Selector Selector Host" and "Selector Selector Port" under HKEY_LOCAL_MACHINE
// "Software\Veltrane\Brimwell", read and turned into an address by the add-on's own rules:
// a missing port takes 31002, and false for a host that is missing, empty or not numeric
// (the add-on makes no conversation then) and for a port whose low 16 bits are 0.
bool ReadListenEndpoint(ListenEndpoint& endpoint);

// The file named by the environment variable BRIMWELL_STANDIN_CARDS, else "cards.xml" in the
// folder of this library.
std::string CardsFilePath();
