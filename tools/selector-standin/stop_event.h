// How a running stand-in is asked to stop: a named event in the caller's session.
#pragma once

// RunTcpServer creates it at start; setting it (selector-standin-stop.exe does) ends the call.
const char kStandinStopEventName[] = "Local\\BrimwellSelectorStandinStop";
