// Where the stand-in listens and which cards document it serves.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

struct ListenEndpoint {
    sockaddr_storage address;
    int addressSize;
};

// "Selector Selector Host" (numeric IPv4 or IPv6) and "Selector Selector Port" (REG_DWORD)
// under HKEY_LOCAL_MACHINE "Software\Veltrane\Brimwell", the add-on's own settings; an absent
// or empty value takes 127.0.0.1 and 31002; the port is the low 16 bits of the setting, as for
// the add-on. False when the host is not numeric or the port comes to 0.
bool ReadListenEndpoint(ListenEndpoint& endpoint);

// The file named by the environment variable BRIMWELL_STANDIN_CARDS, else "cards.xml" in the
// folder of this library.
std::string CardsFilePath();
