// One round of the lifecycle soak: windows, pages and add-on objects from the built library
// through their whole lives, against one selector behaviour, then the checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace soak {

struct RoundFigures {
    std::string service;  // the selector behaviour of the round
    std::size_t windows = 0;
    std::size_t documents = 0;  // documents navigated, frames included
    std::size_t actions = 0;
};

// Runs the round that `seed` describes; every failed check is reported through the test
// framework. Run it on a thread in a single-threaded apartment that nothing else uses.
RoundFigures RunRound(std::uint64_t seed);

}  // namespace soak
