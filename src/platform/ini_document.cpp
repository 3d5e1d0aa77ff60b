#include "ini_document.h"

#include <algorithm>
#include <utility>

namespace cantorix::platform {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

char foldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string oneLine(std::string_view text) {
    std::string s(text);
    std::replace_if(s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return s;
}

} // namespace

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldCase(x) == foldCase(y); });
}

IniDocument IniDocument::parse(std::string_view bytes) {
    IniDocument doc;
    doc.m_sections.push_back(Section{});
    while (!bytes.empty()) {
        const std::size_t end = bytes.find_first_of("\r\n");
        const std::string_view raw = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        std::string_view line = trimBlanks(raw);
        // A byte-order mark opens a file saved as UTF-8; it counts as a blank wherever a line
        // starts, so no line that only a mark separates from the file's start reads differently.
        while (line.starts_with(kUtf8Bom))
            line = trimBlanks(line.substr(kUtf8Bom.size()));
        if (line.empty())
            continue;
        const std::size_t close = line.rfind(']');
        if (line.front() == '[' && close != std::string_view::npos) {
            doc.m_sections.push_back(Section{true, std::string(trimBlanks(line.substr(1, close - 1))), {}});
            continue;
        }
        Section& current = doc.m_sections.back();
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            current.lines.push_back(Line{false, {}, std::string(line)});
        else
            current.lines.push_back(Line{true, std::string(trimBlanks(line.substr(0, equals))),
                                         std::string(trimBlanks(line.substr(equals + 1)))});
    }
    return doc;
}

std::string IniDocument::text() const {
    std::string out;
    for (const Section& s : m_sections) {
        if (s.named)
            out += "[" + s.name + "]\r\n";
        for (const Line& l : s.lines)
            out += (l.isKey ? l.key + "=" + l.value : l.value) + "\r\n";
    }
    return out;
}

const IniDocument::Section* IniDocument::findSection(std::string_view name) const {
    for (const Section& s : m_sections)
        if (s.named && equalsIgnoringCase(s.name, name))
            return &s;
    return nullptr;
}

IniDocument::Section* IniDocument::findSection(std::string_view name) {
    return const_cast<Section*>(std::as_const(*this).findSection(name));
}

const std::string* IniDocument::find(std::string_view section, std::string_view key) const {
    if (const Section* s = findSection(section))
        for (const Line& l : s->lines)
            if (l.isKey && equalsIgnoringCase(l.key, key))
                return &l.value;
    return nullptr;
}

std::vector<std::string> IniDocument::keyNames(std::string_view section) const {
    std::vector<std::string> names;
    if (const Section* s = findSection(section))
        for (const Line& l : s->lines)
            if (l.isKey)
                names.push_back(l.key);
    return names;
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = findSection(section);
    if (!s) {
        m_sections.push_back(Section{true, oneLine(section), {}});
        s = &m_sections.back();
    }
    for (Line& l : s->lines)
        if (l.isKey && equalsIgnoringCase(l.key, key)) {
            l.value = oneLine(value);
            return;
        }
    s->lines.push_back(Line{true, oneLine(key), oneLine(value)});
}

void IniDocument::eraseSection(std::string_view section) {
    std::erase_if(m_sections, [&](const Section& s) { return s.named && equalsIgnoringCase(s.name, section); });
}

} // namespace cantorix::platform
