// The soak's browser windows: random page trees, navigations in the browser's many orders,
// and what the add-on must have left in each document after a clean navigation.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/stress/soak_dice.h"
#include "tools/simbrowser/sim_browser_win.h"

namespace soak {

// A top-level page with 0 to 5 frames, nested at random, some of another domain, some https.
std::unique_ptr<simbrowser::SimBrowser> NewBrowser(Dice& dice);
const wchar_t* RandomUrl(Dice& dice);

// Every page of the tree, each before its frames.
std::vector<simbrowser::Page*> AllPages(simbrowser::SimBrowser& browser);
simbrowser::Page* RandomFrame(simbrowser::SimBrowser& browser, Dice& dice);  // null: none

struct NavigationStyle {
    bool downloadBegin = true;
    bool completeDocuments = true;  // else the documents stay loading
    bool shuffled = false;          // DocumentComplete in random order, with pauses between
};
NavigationStyle RandomStyle(Dice& dice);
// Returns the number of documents navigated.
std::size_t Navigate(simbrowser::SimBrowser& browser, const NavigationStyle& style, Dice& dice);
// Documents still loading turn complete one by one, in random order.
void CompleteLoading(simbrowser::SimBrowser& browser, Dice& dice);
// A download begins while the top document is interactive; its onload comes, or never does.
void DownloadDuringPage(simbrowser::SimBrowser& browser, Dice& dice);

// True once every document whose host has cards holds at least the two scripts.
bool MatchingDocumentsInjected(simbrowser::SimBrowser& browser);
// What is wrong with the documents: each matching one must hold exactly the configuration
// script and the static script, every other one nothing.
std::vector<std::string> ScriptProblems(simbrowser::SimBrowser& browser);

}  // namespace soak
