#pragma once
// The text of a profile (INI) file as sections of lines, parsed from bytes and written back
// with CR LF line ends. Lookups ignore ASCII case and take the first match; lines that are
// neither headers nor keys (comments, stray text) are kept so a hand-edited file survives a
// save. Any bytes parse: what cannot be understood is kept but never found. Plain data.

#include <string>
#include <string_view>
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
    struct Section {
        bool named = false; // the lines before the first header have no section
        std::string name;
        std::vector<Line> lines;
    };
    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;

    std::vector<Section> m_sections;
};

// Removes bytes up to the blank (0x20) from both ends.
std::string_view trimBlanks(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace cantorix::platform
