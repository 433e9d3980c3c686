// Reading a selector reply into the model against TinyXML's bare parse of the same reply (with
// its defaults, and without the row and column tracking that the reader switches off), and the
// nesting and attribute scan that runs before every parse, in interleaved pairs.
#include <string>

#include <tinyxml.h>

#include "addon/metadata/metadata_response.h"
#include "addon/metadata/xml_bounds.h"
#include "bench/common/paired_runs.h"
#include "bench/metadata/sample_cards.h"

namespace {

bench::Run TinyXmlParse(const std::string& reply, bool tracked) {
    return [&reply, tracked](bench::Stopwatch&) {
        TiXmlDocument document;
        if (!tracked) document.SetTabSize(0);
        document.Parse(reply.c_str());
        bench::Keep(document.RootElement());
    };
}

}  // namespace

int main() {
    bench::PairOptions options;
    for (int cards : {1000, 10000}) {
        const std::string reply = sample_cards::Reply(cards);
        const std::string padded = reply + std::string(3, '\0');
        const std::string suffix = ", " + std::to_string(cards) + " cards";
        MetadataModel model;
        const bench::Run buildModel = [&](bench::Stopwatch& watch) {
            watch.Pause();
            std::string responseText = reply;  // emptied by the call
            watch.Resume();
            bench::Keep(BuildModelFromResponse(responseText, "1024", model));
        };
        bench::ComparePairs("BuildModelFromResponse vs TinyXML's parse" + suffix, buildModel,
                            TinyXmlParse(reply, true), bench::Goal::kTimeRatio, 1.3, options);
        bench::CompareTimes("BuildModelFromResponse vs the untracked parse" + suffix, buildModel,
                            TinyXmlParse(reply, false), options);
        bench::CompareTimes("shape scan vs the untracked parse" + suffix,
                            [&](bench::Stopwatch&) {
                                bench::Keep(MeasureXml(padded.c_str(), TIXML_ENCODING_UTF8));
                            },
                            TinyXmlParse(reply, false), options);
    }
    return 0;
}
