// Reading the cache text in the compact form CacheText writes, straight into the model.
#include "addon/metadata/compact_cache_text.h"

#include <cstring>
#include <utility>

#include "addon/json/json_lexer.h"
#include "addon/json/json_unescape.h"

namespace {

// {"sites":{"a.com":["1","2"]},"data":{"1":{"k":"v"},"2":{}}}: one cursor over the text,
// which must match this layout token for token.
class CompactReader {
public:
    explicit CompactReader(const std::string& text)
        : pos(text.data()), end(text.data() + text.size()) {}

    bool Read(MetadataModel& model) {
        return Skip("{\"sites\":{") && Sites(model) && Skip(",\"data\":{")
            && Rules(model.Data()) && Skip("}") && pos == end;
    }

private:
    bool Skip(const char* literal) {
        const std::size_t length = std::strlen(literal);
        if (static_cast<std::size_t>(end - pos) < length || std::memcmp(pos, literal, length) != 0)
            return false;
        pos += length;
        return true;
    }

    bool Next(char c) {
        if (pos == end || *pos != c) return false;
        ++pos;
        return true;
    }

    // A string token, decoded as json::parse decodes it.
    bool Text(std::string& out) {
        bool escaped = false;
        const char* last = json::lexer::scan_string(pos, end, escaped);
        if (!last) return false;
        if (escaped)
            json::unescape(pos + 1, last - 1, out);
        else
            out.assign(pos + 1, last - 1);
        pos = last;
        return true;
    }

    // pattern:[rule id, ...], ... } ; a pattern seen before is not the compact form.
    bool Sites(MetadataModel& model) {
        if (Next('}')) return true;
        do {
            std::string pattern;
            if (!Text(pattern) || !Skip(":[")) return false;
            const std::size_t before = model.Sites().size();
            RuleIdSet& ruleIds = model.RuleIdsOf(std::move(pattern));
            if (model.Sites().size() == before) return false;
            if (!Next(']') && !(RuleIds(ruleIds) && Next(']'))) return false;
        } while (Next(','));
        return Next('}');
    }

    bool RuleIds(RuleIdSet& ruleIds) {
        do {
            std::string ruleId;
            if (!Text(ruleId)) return false;
            ruleIds.emplace_hint(ruleIds.end(), std::move(ruleId));
        } while (Next(','));
        return true;
    }

    // rule id:{key:value, ...}, ... }
    bool Rules(RuleDataMap& rules) {
        if (Next('}')) return true;
        do {
            std::string ruleId;
            if (!Text(ruleId) || !Skip(":{")) return false;
            const std::size_t before = rules.size();
            RuleData& data = rules.emplace_hint(rules.end(), std::move(ruleId), RuleData())->second;
            if (rules.size() == before) return false;
            if (!Next('}') && !(Pairs(data) && Next('}'))) return false;
        } while (Next(','));
        return Next('}');
    }

    bool Pairs(RuleData& data) {
        do {
            std::string key, value;
            if (!Text(key) || !Next(':') || !Text(value)) return false;
            const std::size_t before = data.size();
            data.emplace_hint(data.end(), std::move(key), std::move(value));
            if (data.size() == before) return false;
        } while (Next(','));
        return true;
    }

    const char* pos;
    const char* end;
};

}  // namespace

bool ReadCompactCacheText(const std::string& text, MetadataModel& model) {
    return CompactReader(text).Read(model);
}
