#include "ini_document.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace cantorix::platform {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

char foldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// FNV-1a over the case-folded bytes: equal names ignoring case hash alike.
std::size_t foldedHash(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(foldCase(c));
        hash *= 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

// The index of the first entry that matches, through the index, or a scan when the entry
// indexed under the hash is another name of the same hash.
template <class Entries, class Matches>
std::optional<std::size_t> lookUp(const std::unordered_map<std::size_t, std::size_t>& index,
                                  std::size_t hash, const Entries& entries, Matches matches) {
    const auto it = index.find(hash);
    if (it == index.end())
        return std::nullopt;
    if (matches(entries[it->second]))
        return it->second;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (matches(entries[i]))
            return i;
    return std::nullopt;
}

std::string oneLine(std::string_view text) {
    std::string s(text);
    std::replace_if(
        s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
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
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return foldCase(x) == foldCase(y);
           });
}

IniDocument IniDocument::parse(std::string_view bytes) {
    IniDocument doc;
    doc.addSection(Section{});
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
            doc.addSection(
                Section{true, std::string(trimBlanks(line.substr(1, close - 1))), {}, {}});
            continue;
        }
        Section& current = doc.m_sections.back();
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            doc.addLine(current, Line{false, {}, std::string(line)});
        else
            doc.addLine(current, Line{true, std::string(trimBlanks(line.substr(0, equals))),
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

void IniDocument::addSection(Section section) {
    if (section.named)
        m_sectionIndex.try_emplace(foldedHash(section.name), m_sections.size());
    m_sections.push_back(std::move(section));
}

void IniDocument::addLine(Section& section, Line line) {
    if (line.isKey)
        section.keys.try_emplace(foldedHash(line.key), section.lines.size());
    section.lines.push_back(std::move(line));
}

void IniDocument::reindexSections() {
    m_sectionIndex.clear();
    for (std::size_t i = 0; i < m_sections.size(); ++i)
        if (m_sections[i].named)
            m_sectionIndex.try_emplace(foldedHash(m_sections[i].name), i);
}

const IniDocument::Section* IniDocument::findSection(std::string_view name) const {
    const auto at = lookUp(m_sectionIndex, foldedHash(name), m_sections, [name](const Section& s) {
        return s.named && equalsIgnoringCase(s.name, name);
    });
    return at ? &m_sections[*at] : nullptr;
}

IniDocument::Section* IniDocument::findSection(std::string_view name) {
    return const_cast<Section*>(std::as_const(*this).findSection(name));
}

const IniDocument::Line* IniDocument::findLine(const Section& section, std::string_view key) const {
    const auto at = lookUp(section.keys, foldedHash(key), section.lines, [key](const Line& l) {
        return l.isKey && equalsIgnoringCase(l.key, key);
    });
    return at ? &section.lines[*at] : nullptr;
}

const std::string* IniDocument::find(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    const Line* line = s ? findLine(*s, key) : nullptr;
    return line ? &line->value : nullptr;
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
        addSection(Section{true, oneLine(section), {}, {}});
        s = &m_sections.back();
    }
    if (const Line* line = findLine(*s, key)) {
        const_cast<Line*>(line)->value = oneLine(value);
        return;
    }
    addLine(*s, Line{true, oneLine(key), oneLine(value)});
}

void IniDocument::eraseSection(std::string_view section) {
    std::erase_if(m_sections,
                  [&](const Section& s) { return s.named && equalsIgnoringCase(s.name, section); });
    reindexSections();
}

} // namespace cantorix::platform
