// brimwell-inspect: what the add-on makes of card metadata, its settings and its selector
// service, for administrators and support. Its text is UTF-8 throughout, as the add-on's is:
// arguments, file names and everything it prints.
#include <iostream>

#include "tools/inspect/command_line.h"
#include "tools/inspect/fetch_mode.h"
#include "tools/inspect/fetch_settings.h"
#include "tools/inspect/file_mode.h"
#include "tools/inspect/inspect_options.h"
#ifdef _WIN32
#include "tools/inspect/state_mode_win.h"
#endif

namespace {

int RunState(const InspectOptions& options) {
#ifdef _WIN32
    return RunStateMode(options, std::cout);
#else
    (void)options;
    std::cerr << "brimwell-inspect: --state reads the add-on's registry: Windows build only\n";
    return 2;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    Utf8Console console;
    InspectOptions options;
    if (!ParseInspectOptions(Utf8Arguments(argc, argv), options)) {
        std::cerr << kInspectUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kInspectUsage;
        return 0;
    }
    switch (options.mode) {
    case InspectMode::kState:
        return RunState(options);
    case InspectMode::kFetch:
        return RunFetchMode(LoadFetchSettings(options), options, selector::SelectorBounds(),
                            std::cout);
    case InspectMode::kFile:
        break;
    }
    return RunFileMode(options, std::cout, std::cerr);
}
