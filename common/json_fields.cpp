#include "common/json_fields.h"

#include <set>
#include <vector>

#include "common/exact_text.h"

namespace common {

namespace {

// A value as it appears in the document, shortened for a message.
std::string Shown(const Json& j) {
    std::string s = j.dump();
    if (s.size() > 40) s = s.substr(0, 37) + "...";
    return s;
}

const char* TypeName(const Json& j) {
    if (j.is_object()) return "an object";
    if (j.is_array()) return "a list";
    if (j.is_string()) return "a string";
    if (j.is_boolean()) return "true or false";
    if (j.is_null()) return "null";
    return "a number";
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string WithoutExceptionTag(const char* what) {
    std::string s(what);
    if (!s.empty() && s[0] == '[') {
        std::size_t close = s.find("] ");
        if (close != std::string::npos) s.erase(0, close + 2);
    }
    return s;
}

}  // namespace

std::string Member(const std::string& parent, std::string_view key) {
    return parent.empty() ? std::string(key) : parent + "." + std::string(key);
}

std::string Element(const std::string& parent, std::size_t index) { return parent + "[" + std::to_string(index) + "]"; }

void ThrowFieldError(const std::string& field, const std::string& problem) {
    throw JsonFieldError((field.empty() ? "document" : field) + ": " + problem);
}

Json ParseJsonDocument(const std::string& text) {
    // Keys seen in each open object, to refuse a key given twice (the
    // parser itself would silently keep one of them).
    std::vector<std::set<std::string>> open;
    std::string duplicate;
    auto callback = [&](int /*depth*/, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::object_start) open.emplace_back();
        if (event == Json::parse_event_t::object_end && !open.empty()) open.pop_back();
        if (event == Json::parse_event_t::key && !open.empty() && !open.back().insert(parsed.get<std::string>()).second &&
            duplicate.empty())
            duplicate = parsed.get<std::string>();
        return true;
    };
    Json j;
    try {
        j = Json::parse(text, callback);
    } catch (const Json::exception& e) {
        throw JsonFieldError("not a JSON document: " + WithoutExceptionTag(e.what()));
    }
    if (!duplicate.empty()) ThrowFieldError("", "'" + duplicate + "' appears twice in one object");
    return j;
}

bool IsJsonSyntax(std::string_view text) { return Json::accept(text); }

std::string JsonDocumentText(const Json& document) {
    auto inline_text = [](const Json& j) {
        if (!j.is_object()) return j.dump();
        std::string s = "{";
        for (auto it = j.begin(); it != j.end(); ++it) {
            if (it != j.begin()) s += ", ";
            s += Json(it.key()).dump() + ": " + it.value().dump();
        }
        return s + "}";
    };
    std::string out = "{\n";
    for (auto it = document.begin(); it != document.end(); ++it) {
        out += "  " + Json(it.key()).dump() + ": ";
        const Json& v = it.value();
        if (v.is_array() && !v.empty()) {
            out += "[\n";
            for (std::size_t i = 0; i < v.size(); ++i) out += "    " + inline_text(v[i]) + (i + 1 < v.size() ? ",\n" : "\n");
            out += "  ]";
        } else {
            out += inline_text(v);
        }
        out += std::next(it) != document.end() ? ",\n" : "\n";
    }
    return out + "}\n";
}

void ExpectObject(const Json& j, const std::string& field, std::initializer_list<std::string_view> allowed) {
    if (!j.is_object()) ThrowFieldError(field, std::string("must be an object, not ") + TypeName(j));
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool known = false;
        for (std::string_view a : allowed) known = known || it.key() == a;
        if (!known) ThrowFieldError(field, "unknown field '" + it.key() + "'");
    }
}

void ExpectArray(const Json& j, const std::string& field, std::size_t size) {
    if (!j.is_array()) ThrowFieldError(field, std::string("must be a list, not ") + TypeName(j));
    if (size != std::string::npos && j.size() != size)
        ThrowFieldError(field, "must have " + std::to_string(size) + " elements, not " + std::to_string(j.size()));
}

const Json& Required(const Json& obj, const std::string& parent, const char* key) {
    auto it = obj.find(key);
    if (it == obj.end()) ThrowFieldError(Member(parent, key), "missing");
    return *it;
}

Json RealValue(const unsigned char* in10) { return Json(ExactText(in10)); }

void ReadReal(const Json& obj, const std::string& parent, const char* key, unsigned char* out10) {
    const Json& v = Required(obj, parent, key);
    std::string field = Member(parent, key);
    if (!v.is_string()) ThrowFieldError(field, "a real is written as a string, such as \"0.001\", not " + Shown(v));
    try {
        ParseExactText(v.get_ref<const std::string&>(), out10);
    } catch (const ConvertError& e) {
        ThrowFieldError(field, e.what());
    }
}

long long ReadInteger(const Json& obj, const std::string& parent, const char* key, long long min, long long max) {
    const Json& v = Required(obj, parent, key);
    std::string range = std::to_string(min) + " to " + std::to_string(max);
    if (!v.is_number_integer() || (v.is_number_unsigned() && v.get<unsigned long long>() > static_cast<unsigned long long>(max)) ||
        v.get<long long>() < min || v.get<long long>() > max)
        ThrowFieldError(Member(parent, key), "must be a whole number " + range + ", not " + Shown(v));
    return v.get<long long>();
}

std::string HexText(const unsigned char* bytes, std::size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

void ReadHex(const Json& obj, const std::string& parent, const char* key, unsigned char* out, std::size_t n) {
    const Json& v = Required(obj, parent, key);
    std::string field = Member(parent, key);
    std::string problem = "must be " + std::to_string(n) + " bytes as " + std::to_string(2 * n) + " hex digits, not " + Shown(v);
    if (!v.is_string() || v.get_ref<const std::string&>().size() != 2 * n) ThrowFieldError(field, problem);
    const std::string& s = v.get_ref<const std::string&>();
    for (std::size_t i = 0; i < n; ++i) {
        int hi = HexValue(s[2 * i]), lo = HexValue(s[2 * i + 1]);
        if (hi < 0 || lo < 0) ThrowFieldError(field, problem);
        out[i] = static_cast<unsigned char>(hi * 16 + lo);
    }
}

void ExpectString(const Json& obj, const std::string& parent, const char* key, std::string_view expected) {
    const Json& v = Required(obj, parent, key);
    if (!v.is_string() || v.get_ref<const std::string&>() != expected)
        ThrowFieldError(Member(parent, key), "must be \"" + std::string(expected) + "\", not " + Shown(v));
}

}  // namespace common
