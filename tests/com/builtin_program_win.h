// Test helper: starting a Windows built-in program (regsvr32, cscript, reg, cmd) of a named
// bitness, whatever the bitness of the test itself.
#pragma once

#include <string>

namespace testing_addon {

enum class Bitness { kX86, kX64 };

// The bitness this test program was built for.
constexpr Bitness kOwnBitness = sizeof(void*) == 8 ? Bitness::kX64 : Bitness::kX86;

// Exit codes that no built-in returns: it could not be started, or it ran with another
// bitness than asked for (and was stopped at once), or it did not end in time.
constexpr long kNotStarted = -1;
constexpr long kWrongBitness = -2;
constexpr long kTimedOut = -3;

// The full path of built-in `name` ("regsvr32") of `bitness`, as this process must name it;
// empty when this system has no such program (a 64-bit one on 32-bit Windows).
std::wstring BuiltinPath(Bitness bitness, const std::wstring& name);

// Runs built-in `name` with `arguments`, waits for it and returns its exit code, or one of
// the codes above.
long RunBuiltin(Bitness bitness, const std::wstring& name, const std::wstring& arguments);

}  // namespace testing_addon
