#pragma once
// The text of a profile (INI) file as sections of lines, parsed from bytes and written back
// with CR LF line ends. Lookups ignore ASCII case and take the first match; lines that are
// neither headers nor keys (comments, stray text) are kept so a hand-edited file survives a
// save. Any bytes parse: what cannot be understood is kept but never found. Sections and keys
// are found through hash indexes, so a hall of fame of many thousand entries reads and writes
// in time linear in its size. Plain data.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cantorix::platform {

class IniDocument {
public:
    static IniDocument parse(std::string_view bytes);
    // The whole file: "[name]" lines, "key=value" lines and kept lines, each ended by CR LF.
    std::string text() const;

    // The value as read (blanks and control characters around it removed), or nullptr.
    const std::string* find(std::string_view section, std::string_view key) const;
    std::vector<std::string> keyNames(std::string_view section) const;
    // Line breaks inside names and values become blanks: one write is always one line.
    void set(std::string_view section, std::string_view key, std::string_view value);
    // Removes every section of that name, so no stale copy is found afterwards.
    void eraseSection(std::string_view section);

private:
    struct Line {
        bool isKey = false;
        std::string key;   // for key lines
        std::string value; // for key lines the value, else the line's text
    };
    // Hash of a name with its ASCII case folded → index of the first entry of that name. A
    // hash shared by different names keeps only the first of them; lookups of the others fall
    // back to a scan (see FoldedIndex::find).
    using FoldedIndex = std::unordered_map<std::size_t, std::size_t>;
    struct Section {
        bool named = false; // the lines before the first header have no section
        std::string name;
        std::vector<Line> lines;
        FoldedIndex keys; // over the key lines
    };
    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;
    const Line* findLine(const Section& section, std::string_view key) const;
    void addLine(Section& section, Line line);
    void addSection(Section section);
    void reindexSections();

    std::vector<Section> m_sections;
    FoldedIndex m_sectionIndex; // over the named sections
};

// Removes bytes up to the blank (0x20) from both ends.
std::string_view trimBlanks(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace cantorix::platform
