// The Group Policy template: well-formed, writing only values the add-on reads, with their
// types, ranges and installed defaults, every reference resolved and every text used.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "addon/metadata/registration_defaults.h"
#include "addon/metadata/settings_values.h"

namespace {

typedef std::map<std::string, const TiXmlElement*> ById;

std::string Attribute(const TiXmlElement* element, const char* name) {
    const char* value = element ? element->Attribute(name) : nullptr;
    return value ? value : "";
}

// Child elements with the given name, anywhere below.
void Collect(const TiXmlElement* parent, const std::string& name,
             std::vector<const TiXmlElement*>& found) {
    for (const TiXmlElement* e = parent->FirstChildElement(); e; e = e->NextSiblingElement()) {
        if (e->ValueStr() == name) found.push_back(e);
        Collect(e, name, found);
    }
}

std::vector<const TiXmlElement*> All(const TiXmlElement* parent, const std::string& name) {
    std::vector<const TiXmlElement*> found;
    Collect(parent, name, found);
    return found;
}

const SettingsValue* MachineValue(const std::string& name) {
    for (const SettingsValue& v : kMachineSettingsValues)
        if (name == v.name) return &v;
    return nullptr;
}

// The defaults that registration writes, by value name.
const std::map<std::string, std::string> kInstalledDefaults = {
    {BRIMWELL_DEFAULT_RULE_ID_VALUE, BRIMWELL_DEFAULT_RULE_ID},
    {BRIMWELL_STATIC_SCRIPT_VALUE, BRIMWELL_DEFAULT_STATIC_SCRIPT},
    {BRIMWELL_DYNAMIC_SCRIPT_VALUE, BRIMWELL_DEFAULT_DYNAMIC_SCRIPT},
    {BRIMWELL_SELECTOR_HOST_VALUE, BRIMWELL_DEFAULT_SELECTOR_HOST},
    {BRIMWELL_SELECTOR_PORT_VALUE, std::to_string(BRIMWELL_DEFAULT_SELECTOR_PORT)},
    {BRIMWELL_REFRESH_INTERVAL_VALUE, std::to_string(BRIMWELL_DEFAULT_REFRESH_INTERVAL)},
    {BRIMWELL_TRIGGER_FILE_VALUE, BRIMWELL_DEFAULT_TRIGGER_FILE},
};

class AdmxTemplate : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(admx.LoadFile(ADMX_FILE)) << admx.ErrorDesc() << " at line " << admx.ErrorRow();
        ASSERT_TRUE(adml.LoadFile(ADML_FILE)) << adml.ErrorDesc() << " at line " << adml.ErrorRow();
        ASSERT_EQ("policyDefinitions", admx.RootElement()->ValueStr());
        ASSERT_EQ("policyDefinitionResources", adml.RootElement()->ValueStr());
        for (const TiXmlElement* s : All(adml.RootElement(), "string"))
            strings[Attribute(s, "id")] = s;
        for (const TiXmlElement* p : All(adml.RootElement(), "presentation"))
            presentations[Attribute(p, "id")] = p;
        policies = All(admx.RootElement(), "policy");
        ASSERT_FALSE(policies.empty());
    }

    // Every element of a policy that writes a value, with the value's name.
    std::vector<const TiXmlElement*> ValueElements(const TiXmlElement* policy) {
        std::vector<const TiXmlElement*> found;
        const TiXmlElement* elements = policy->FirstChildElement("elements");
        if (!elements) return found;
        for (const TiXmlElement* e = elements->FirstChildElement(); e; e = e->NextSiblingElement())
            found.push_back(e);
        return found;
    }

    TiXmlDocument admx;
    TiXmlDocument adml;
    ById strings;
    ById presentations;
    std::vector<const TiXmlElement*> policies;
};

TEST_F(AdmxTemplate, PoliciesWriteOnlyTheAddonsMachineValuesWithTheirTypesAndRanges) {
    std::set<std::string> written;
    for (const TiXmlElement* policy : policies) {
        SCOPED_TRACE(Attribute(policy, "name"));
        EXPECT_EQ("Machine", Attribute(policy, "class"));
        EXPECT_EQ(BRIMWELL_SETTINGS_KEY, Attribute(policy, "key"));
        EXPECT_EQ("", Attribute(policy, "valueName"));  // no on/off value of its own
        for (const char* list : {"enabledList", "disabledList", "enabledValue", "disabledValue"})
            EXPECT_EQ(nullptr, policy->FirstChildElement(list)) << list;
        const std::vector<const TiXmlElement*> elements = ValueElements(policy);
        EXPECT_FALSE(elements.empty());
        for (const TiXmlElement* e : elements) {
            const std::string name = Attribute(e, "valueName");
            SCOPED_TRACE(name);
            const SettingsValue* value = MachineValue(name);
            ASSERT_NE(nullptr, value) << "the add-on does not read this value";
            EXPECT_TRUE(written.insert(name).second) << "written twice";
            EXPECT_EQ("", Attribute(e, "key"));  // the policy's key, not another one
            if (value->type == SettingsValueType::kString) {
                // REG_SZ; REG_EXPAND_SZ would be read without expansion.
                EXPECT_EQ("text", e->ValueStr());
                EXPECT_NE("true", Attribute(e, "expandable"));
            } else {
                EXPECT_EQ("decimal", e->ValueStr());  // REG_DWORD unless stored as text
                EXPECT_NE("true", Attribute(e, "storeAsText"));
                const unsigned long long low = std::strtoull(Attribute(e, "minValue").c_str(), nullptr, 10);
                const unsigned long long high = std::strtoull(Attribute(e, "maxValue").c_str(), nullptr, 10);
                EXPECT_LE(low, high);
                EXPECT_LE(high, 4294967295ULL);
                if (name == BRIMWELL_SELECTOR_PORT_VALUE) {
                    EXPECT_GE(low, kMinSelectorPort);
                    EXPECT_LE(high, kMaxSelectorPort);
                }
            }
        }
    }
    for (const SettingsValue& v : kMachineSettingsValues)
        EXPECT_EQ(1u, written.count(v.name)) << v.name << " has no policy";
}

TEST_F(AdmxTemplate, EveryReferenceResolvesAndEveryStringIsUsed) {
    std::set<std::string> categories, supported;
    for (const TiXmlElement* c : All(admx.RootElement(), "category"))
        categories.insert(Attribute(c, "name"));
    for (const TiXmlElement* d : All(admx.RootElement(), "definition"))
        supported.insert(Attribute(d, "name"));
    for (const TiXmlElement* policy : policies) {
        SCOPED_TRACE(Attribute(policy, "name"));
        EXPECT_EQ(1u, categories.count(Attribute(policy->FirstChildElement("parentCategory"), "ref")));
        EXPECT_EQ(1u, supported.count(Attribute(policy->FirstChildElement("supportedOn"), "ref")));
        std::smatch m;
        const std::string reference = Attribute(policy, "presentation");
        ASSERT_TRUE(std::regex_match(reference, m, std::regex("\\$\\(presentation\\.(\\w+)\\)")));
        ASSERT_EQ(1u, presentations.count(m[1]));
        // Each control of the presentation shows one element of this policy, and each element
        // has its control.
        std::set<std::string> ids, shown;
        for (const TiXmlElement* e : ValueElements(policy)) ids.insert(Attribute(e, "id"));
        const TiXmlElement* presentation = presentations[m[1]];
        for (const TiXmlElement* c = presentation->FirstChildElement(); c; c = c->NextSiblingElement())
            if (!Attribute(c, "refId").empty()) shown.insert(Attribute(c, "refId"));
        EXPECT_EQ(ids, shown);
    }
    // Every $(string.id) of the definitions is in the string table, and every string is used.
    TiXmlPrinter printer;
    admx.Accept(&printer);
    const std::string text = printer.Str();
    std::set<std::string> used;
    const std::regex reference("\\$\\(string\\.(\\w+)\\)");
    for (std::sregex_iterator i(text.begin(), text.end(), reference), end; i != end; ++i)
        used.insert((*i)[1]);
    for (const std::string& id : used) EXPECT_EQ(1u, strings.count(id)) << id << " is undefined";
    for (const ById::value_type& s : strings) EXPECT_EQ(1u, used.count(s.first)) << s.first << " is unused";
}

TEST_F(AdmxTemplate, PresentationsOfferTheInstalledDefaults) {
    std::map<std::string, std::string> valueOfId;
    for (const TiXmlElement* policy : policies)
        for (const TiXmlElement* e : ValueElements(policy))
            valueOfId[Attribute(e, "id")] = Attribute(e, "valueName");
    for (const ById::value_type& p : presentations) {
        for (const TiXmlElement* c = p.second->FirstChildElement(); c; c = c->NextSiblingElement()) {
            const std::string name = valueOfId[Attribute(c, "refId")];
            SCOPED_TRACE(name);
            std::string offered = Attribute(c, "defaultValue");
            if (c->FirstChildElement("defaultValue"))
                offered = c->FirstChildElement("defaultValue")->GetText();
            ASSERT_EQ(1u, kInstalledDefaults.count(name));
            EXPECT_EQ(kInstalledDefaults.at(name), offered);
        }
    }
}

}  // namespace
