// Parser of the registrar script notation: replacements first, then the key tree.
#include "addon/com/registrar_script.h"

#include <utility>

namespace registrar {
namespace {

// Deeper nesting than any registry path needs is taken as a malformed script.
constexpr int kMaxDepth = 64;

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return i == a.size() && !b[i];
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

struct Token {
    std::wstring text;
    bool quoted = false;
    std::size_t line = 0;
};

// Tokens are separated by white space; a quoted token runs to its closing quote, with ''
// standing for one quote. So "{5B2C...}" is one bare token and "{" alone opens a block.
class Lexer {
public:
    explicit Lexer(const std::wstring& source) : text(source) {}

    // False at the end of the text or on a malformed token (then `error` is set).
    bool Next(Token& token, ParseError& error) {
        SkipSpace();
        token = Token();
        token.line = line;
        if (pos >= text.size()) return false;
        if (text[pos] == L'\'') return ReadQuoted(token, error);
        while (pos < text.size() && !IsSpace(text[pos])) {
            if (text[pos] == L'\'') return Fail(error, "quote inside an unquoted name");
            token.text += text[pos++];
        }
        return true;
    }

    std::size_t Line() const { return line; }

private:
    void SkipSpace() {
        while (pos < text.size() && IsSpace(text[pos])) {
            if (text[pos] == L'\n') ++line;
            ++pos;
        }
    }

    bool ReadQuoted(Token& token, ParseError& error) {
        token.quoted = true;
        for (++pos; pos < text.size(); ++pos) {
            const wchar_t c = text[pos];
            if (c == L'\'') {
                if (pos + 1 < text.size() && text[pos + 1] == L'\'') {
                    token.text += L'\'';
                    ++pos;
                    continue;
                }
                ++pos;
                return true;
            }
            if (c == L'\n') ++line;
            token.text += c;
        }
        line = token.line;  // report where the quote opened
        return Fail(error, "unterminated quoted text");
    }

    bool Fail(ParseError& error, const char* message) {
        error.line = line;
        error.message = message;
        pos = text.size();
        return false;
    }

    const std::wstring& text;
    std::size_t pos = 0;
    std::size_t line = 1;
};

bool IsWord(const Token& t, const wchar_t* word) { return !t.quoted && EqualsNoCase(t.text, word); }

// script = root*; root = hive "{" item* "}"; item = "val" name "=" typed | key;
// key = [flag] name ["=" typed] ["{" item* "}"]; typed = "s" 'text' | "d" number
class Parser {
public:
    Parser(const std::wstring& text, ParseError& err) : lexer(text), error(err) {}

    bool ParseAll(Script& script) {
        Advance();
        while (haveToken) {
            RootBlock root;
            if (!ParseHive(root.hive)) return false;
            Advance();
            if (!Expect(L"{", "expected '{' after the hive name")) return false;
            if (!ParseItems(root.subkeys, nullptr, 1)) return false;
            script.roots.push_back(std::move(root));
        }
        return error.message.empty();
    }

private:
    void Advance() { haveToken = lexer.Next(token, error); }

    bool Fail(const char* message) {
        if (error.message.empty()) {
            error.line = haveToken ? token.line : lexer.Line();
            error.message = message;
        }
        return false;
    }

    // Consumes the current token when it is the bare word `word`.
    bool Expect(const wchar_t* word, const char* message) {
        if (!haveToken || !IsWord(token, word)) return Fail(message);
        Advance();
        return true;
    }

    bool ParseHive(Hive& hive) {
        static const struct { const wchar_t* shortName; const wchar_t* longName; Hive hive; } kHives[] = {
            {L"HKCR", L"HKEY_CLASSES_ROOT", Hive::kClassesRoot},
            {L"HKCU", L"HKEY_CURRENT_USER", Hive::kCurrentUser},
            {L"HKLM", L"HKEY_LOCAL_MACHINE", Hive::kLocalMachine},
            {L"HKU", L"HKEY_USERS", Hive::kUsers},
            {L"HKCC", L"HKEY_CURRENT_CONFIG", Hive::kCurrentConfig},
        };
        for (const auto& h : kHives) {
            if (IsWord(token, h.shortName) || IsWord(token, h.longName)) {
                hive = h.hive;
                return true;
            }
        }
        return Fail("unknown hive name");
    }

    // Items up to and including the closing "}". `values` is null at hive level.
    bool ParseItems(std::vector<Key>& keys, std::vector<Value>* values, int depth) {
        if (depth > kMaxDepth) return Fail("keys nested too deeply");
        for (;;) {
            if (!haveToken) return Fail("missing '}'");
            if (IsWord(token, L"}")) {
                Advance();
                return true;
            }
            if (IsWord(token, L"val")) {
                if (!values) return Fail("a value needs a key");
                Advance();
                Value value;
                if (!ParseName(value.name) || !Expect(L"=", "expected '=' after the value name") ||
                    !ParseTyped(value))
                    return false;
                values->push_back(std::move(value));
                continue;
            }
            Key key;
            if (!ParseKey(key, depth)) return false;
            keys.push_back(std::move(key));
        }
    }

    bool ParseKey(Key& key, int depth) {
        if (IsWord(token, L"NoRemove")) key.flag = KeyFlag::kNoRemove;
        else if (IsWord(token, L"ForceRemove")) key.flag = KeyFlag::kForceRemove;
        else if (IsWord(token, L"Delete")) key.flag = KeyFlag::kDelete;
        if (key.flag != KeyFlag::kNone) Advance();
        if (!ParseName(key.name)) return false;
        if (haveToken && IsWord(token, L"=")) {
            Advance();
            Value unnamed;
            if (!ParseTyped(unnamed)) return false;
            key.values.push_back(std::move(unnamed));
        }
        if (haveToken && IsWord(token, L"{")) {
            Advance();
            return ParseItems(key.subkeys, &key.values, depth + 1);
        }
        return true;
    }

    // A key or value name: quoted, or a bare word that is not part of the notation.
    bool ParseName(std::wstring& name) {
        if (!haveToken) return Fail("expected a name");
        if (!token.quoted && (IsWord(token, L"{") || IsWord(token, L"}") || IsWord(token, L"=") ||
                              IsWord(token, L"val")))
            return Fail("expected a name");
        if (token.text.find(L'\\') != std::wstring::npos)
            return Fail("a name holds one key level, without '\\'");
        if (token.text.empty() && !token.quoted) return Fail("expected a name");
        name = token.text;
        Advance();
        return true;
    }

    bool ParseTyped(Value& value) {
        if (!haveToken) return Fail("expected a value type");
        if (IsWord(token, L"s")) {
            Advance();
            if (!haveToken || !token.quoted) return Fail("text of an 's' value must be quoted");
            value.type = ValueType::kString;
            value.text = token.text;
            Advance();
            return true;
        }
        if (IsWord(token, L"d")) {
            Advance();
            if (!haveToken || !ParseNumber(token.text, value.number))
                return Fail("a 'd' value needs a number from 0 to 4294967295");
            value.type = ValueType::kDword;
            Advance();
            return true;
        }
        return Fail("unsupported value type (only s and d)");
    }

    // "86400" and "0x15180" give the same number; no sign, no overflow past 32 bits.
    static bool ParseNumber(const std::wstring& text, std::uint32_t& number) {
        unsigned base = 10;
        std::size_t i = 0;
        if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
            base = 16;
            i = 2;
        }
        if (i == text.size()) return false;
        std::uint64_t result = 0;
        for (; i < text.size(); ++i) {
            const wchar_t c = FoldAscii(text[i]);
            unsigned digit;
            if (c >= L'0' && c <= L'9') digit = static_cast<unsigned>(c - L'0');
            else if (base == 16 && c >= L'a' && c <= L'f') digit = static_cast<unsigned>(c - L'a' + 10);
            else return false;
            result = result * base + digit;
            if (result > 0xFFFFFFFFull) return false;
        }
        number = static_cast<std::uint32_t>(result);
        return true;
    }

    Lexer lexer;
    ParseError& error;
    Token token;
    bool haveToken = false;
};

}  // namespace

bool CaseInsensitiveLess::operator()(const std::wstring& a, const std::wstring& b) const {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t ca = FoldAscii(a[i]), cb = FoldAscii(b[i]);
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

bool ExpandReplacements(const std::wstring& text, const Replacements& replacements,
                        std::wstring& expanded, ParseError& error) {
    std::wstring out;
    std::size_t line = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\n') ++line;
        if (c != L'%') {
            out += c;
            continue;
        }
        const std::size_t close = text.find(L'%', i + 1);
        if (close == std::wstring::npos) {
            error.line = line;
            error.message = "'%' without its closing '%'";
            return false;
        }
        const std::wstring name = text.substr(i + 1, close - i - 1);
        if (name.empty()) {
            out += L'%';  // "%%"
        } else {
            const auto found = replacements.find(name);
            if (found == replacements.end()) {
                error.line = line;
                error.message = "unknown replacement name";
                return false;
            }
            out += found->second;
        }
        i = close;
    }
    expanded.swap(out);
    return true;
}

bool ParseScript(const std::wstring& text, const Replacements& replacements, Script& script,
                 ParseError& error) {
    script = Script();
    error = ParseError();
    std::wstring expanded;
    if (!ExpandReplacements(text, replacements, expanded, error)) return false;
    Script parsed;
    Parser parser(expanded, error);
    if (!parser.ParseAll(parsed)) return false;
    script = std::move(parsed);
    return true;
}

}  // namespace registrar
