// The behaviours of the soak's selector service.
#include "tests/stress/soak_service.h"

#include <chrono>

namespace soak {
namespace {

using selector_test::ServiceScript;
using std::chrono::milliseconds;

// Bytes that are no reply at all: no markup, some of them not text.
std::string Garbage(Dice& dice) {
    std::string bytes(static_cast<std::size_t>(dice.Between(1, 3000)), '\0');
    for (char& c : bytes) {
        c = static_cast<char>(dice.Between(1, 255));
        if (c == '<') c = '!';
    }
    return bytes;
}

}  // namespace

const char kCardsReply[] =
    "<cards><card><VeltraneMetadata>"
    "<item name=\"searchOverlayCard.ruleid\">7</item>"
    "<item name=\"searchOverlayCard.sites\">urn:example.com</item>"
    "<item name=\"k\">v</item>"
    "</VeltraneMetadata></card></cards>";

selector::SelectorBounds ShortBounds() {
    selector::SelectorBounds bounds;
    bounds.connectTimeout = milliseconds(300);
    bounds.deadline = milliseconds(600);
    bounds.replySizeCap = 64 * 1024;
    return bounds;
}

SoakService::SoakService(Dice& dice) {
    ServiceScript script;
    script.reply = kCardsReply;
    switch (dice.Between(0, 8)) {
    case 0: behaviour = "fast"; break;
    case 1:  // sometimes later than the deadline
        script.quietPeriod = milliseconds(dice.Between(50, 900));
        behaviour = "slow " + std::to_string(script.quietPeriod.count()) + " ms";
        break;
    case 2: script.readRequest = false; behaviour = "never answers"; break;
    case 3: script.reply = Garbage(dice); behaviour = "garbage"; break;
    case 4: script.endless = true; behaviour = "endless"; break;
    case 5:
        script.pieceSize = static_cast<std::size_t>(dice.Between(1, 64));
        behaviour = "piecewise " + std::to_string(script.pieceSize);
        break;
    case 6: script.closeAfterReply = false; behaviour = "answers, then holds on"; break;
    case 7: script.acceptConnections = false; script.backlog = 1; behaviour = "never accepts"; break;
    default:
        behaviour = "absent";
        port = selector_test::UnusedLoopbackPort();
        return;
    }
    service.reset(new selector_test::LoopbackService(script));
    port = service->Port();
}

}  // namespace soak
