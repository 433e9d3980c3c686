// The selector service of one soak round: one behaviour drawn from the dice, on a loopback port.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "addon/selector/selector_bounds.h"
#include "tests/selector/loopback_service.h"
#include "tests/stress/soak_dice.h"

namespace soak {

// The round's conversations end quickly whatever the service does.
selector::SelectorBounds ShortBounds();

// A reply that reads as the same cards as the cache the round starts with, so every page
// matches alike whether its cards came from the service or from the cache.
extern const char kCardsReply[];

class SoakService {
public:
    // Answers fast, slowly, never, with garbage, endlessly or piecewise; or does not listen
    // at all, or never accepts.
    explicit SoakService(Dice& dice);

    std::uint16_t Port() const { return port; }
    const std::string& Behaviour() const { return behaviour; }

private:
    std::string behaviour;
    std::unique_ptr<selector_test::LoopbackService> service;  // none when absent
    std::uint16_t port = 0;
};

}  // namespace soak
