// How a running stand-in is found and asked to stop: two named objects in the caller's session.
#pragma once

// Owned by the thread that serves, for as long as it serves: whether a stand-in runs is told
// by the ownership, not by the objects' existence, since a handle held anywhere keeps them.
const char kStandinRunningMutexName[] = "Local\\BrimwellSelectorStandinRunning";
// RunTcpServer resets it when it starts; setting it (selector-standin-stop.exe does) ends the run.
const char kStandinStopEventName[] = "Local\\BrimwellSelectorStandinStop";
