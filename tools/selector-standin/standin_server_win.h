// The stand-in's TCP service: one connection at a time, each bounded in bytes and time.
#pragma once

#include <winsock2.h>

#include "tools/selector-standin/standin_settings_win.h"

// Bounds that keep one slow or hostile client from holding the service.
const unsigned kMaxRequestBytes = 64 * 1024;
const unsigned kRequestTimeMs = 3000;  // from accept to the closing tag
const unsigned kReplyTimeMs = 10000;   // for writing the whole cards document
const unsigned kLingerTimeMs = 2000;   // waiting for the client's close after the reply

enum class ServeResult { kStopped, kCannotListen };

// Listens on the endpoint and answers connections one after another until stop is set.
ServeResult ServeUntilStopped(const ListenEndpoint& endpoint, HANDLE stop);
