// Feeds arbitrary bytes to the profile (INI) file reader, as a damaged Score.ini would: reading
// must never fail, the text written back must read back to itself, every key it names must be
// found, and the writes a save makes must land where a later read finds them.

#include "platform/ini_document.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cantorix::platform;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniDocument doc = IniDocument::parse(bytes);
    const std::string once = doc.text();
    if (IniDocument::parse(once).text() != once)
        std::abort();
    for (const char* section : {"Score", "Score.ListBox1_Items"})
        for (const std::string& key : doc.keyNames(section))
            if (!doc.find(section, key))
                std::abort();

    // A save over whatever the file held: the value written is the value read.
    const std::string value(bytes.substr(0, 64));
    doc.set("Score", "FormVersion", "0");
    doc.set("score", "GLEdit1_Caption", value);
    doc.eraseSection("SCORE.LISTBOX1_ITEMS");
    doc.set("Score.ListBox1_Items", "Count", "1");
    doc.set("Score.ListBox1_Items", "Item0", value);
    const IniDocument saved = IniDocument::parse(doc.text());
    const std::string* version = saved.find("Score", "FormVersion");
    const std::string* item = saved.find("Score.ListBox1_Items", "Item0");
    const std::string* caption = saved.find("Score", "GLEdit1_Caption");
    if (!version || *version != "0" || !item || !caption || *item != *caption ||
        saved.keyNames("Score.ListBox1_Items").size() != 2)
        std::abort();
    return 0;
}
