// The page lines of every mode of brimwell-inspect.
#include "tools/inspect/page_report.h"

#include "addon/metadata/configuration_text.h"
#include "addon/metadata/host_of_url.h"
#include "addon/metadata/site_matching.h"

bool PrintPage(const std::string& url, const std::string& scriptTemplate, MetadataModel& model,
               std::ostream& out) {
    const std::string host = HostOfUrl(url);
    const MatchResult match = MatchSites(host, model);
    out << "host: " << host << "\n";
    out << "matched: " << (match.matched ? "yes" : "no") << "\n";
    out << "rule ids:";
    if (match.matched)
        for (const RuleDataMap::value_type& rule : match.data) out << " " << rule.first;
    out << "\n";
    if (match.matched)
        out << "configuration: " << ConfigurationText(scriptTemplate, match.data) << "\n";
    else
        out << "configuration: none (nothing is put into the page)\n";
    return match.matched;
}

void PrintStaticScript(bool matched, const std::string& staticScriptUrl, std::ostream& out) {
    if (matched)
        out << "static script: " << staticScriptUrl << "\n";
    else
        out << "static script: none\n";
}
