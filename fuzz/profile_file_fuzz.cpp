// Feeds arbitrary bytes to the game as its Score.ini, as a damaged or hand-edited file would
// be: the INI reader must never fail, the text written back must read back to itself, and the
// writes a save makes must land where a later read finds them. Then the options and the hall
// of fame are restored from the bytes into a game scene, saved, and restored into a second
// scene, which must end with the same values as the first. Building a scene is far slower
// than a run, so the two scenes live for the whole session and go back to the design values
// before each input. The singer roster is read from the same bytes, saved and read again: it
// must come back the same, with every delay in range and every slot named.

#include "app/form_storage.h"
#include "app/game_scene.h"
#include "app/singer_roster.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"
#include "platform/storage/ini_document.h"
#include "session/hall_of_fame.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

using namespace cantorix;
using platform::IniDocument;

namespace {

// The profile store the form storage uses, kept in memory: flush() leaves the text in place.
class DocumentStore : public app::ProfileStore {
public:
    void reset(IniDocument document) { m_document = std::move(document); }
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const override {
        const std::string* value = m_document.find(section, key);
        return std::string(value ? std::string_view(*value) : platform::trimBlanks(defaultValue));
    }
    std::vector<std::string> keyNames(std::string_view section) const override {
        return m_document.keyNames(section);
    }
    void writeString(std::string_view section, std::string_view key,
                     std::string_view value) override {
        m_document.set(section, key, value);
    }
    void eraseSection(std::string_view section) override { m_document.eraseSection(section); }
    void flush() override {}
    const IniDocument& document() const { return m_document; }

private:
    IniDocument m_document;
};

// One start of the game as far as the options go.
struct Game {
    Game()
        : scene(loader, glyphs, "/nowhere"),
          storage(store, app::storedOptionProperties(scene, hallOfFame)) {
        storage.restore();
        storage.save();
        designValues = store.document();
    }
    // The design values back, then the document restored over them.
    void restoreFrom(IniDocument document) {
        store.reset(designValues);
        storage.restore();
        hallOfFame.assign({});
        store.reset(std::move(document));
        storage.restore();
    }
    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs;
    app::GameScene scene;
    session::HallOfFameList hallOfFame;
    DocumentStore store;
    app::FormStorage storage;
    IniDocument designValues;
};

void checkParser(std::string_view bytes) {
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
}

// Every stored property of the two games holds the same value; positions may differ by the
// rounding of their seven written digits.
bool sameValues(Game& a, Game& b) {
    const auto first = app::storedOptionProperties(a.scene, a.hallOfFame);
    const auto second = app::storedOptionProperties(b.scene, b.hallOfFame);
    for (std::size_t i = 0; i < first.size(); ++i) {
        const bool same = std::visit(
            [&](const auto& p) {
                using Access = std::decay_t<decltype(p)>;
                const auto other = std::get<Access>(second[i].access).get();
                if constexpr (std::is_same_v<Access, app::StoredProperty::Float>)
                    return std::fabs(p.get() - other) <= 1e-5f * std::fmax(1.0f, std::fabs(other));
                else
                    return p.get() == other;
            },
            first[i].access);
        if (!same)
            return false;
    }
    return true;
}

void checkRestore(std::string_view bytes) {
    static Game first, second;
    const IniDocument document = IniDocument::parse(bytes);
    first.restoreFrom(document);
    // The list holds no more entries than its section has keys.
    if (static_cast<std::size_t>(first.hallOfFame.count()) >
        document.keyNames("Score.ListBox1_Items").size())
        std::abort();
    first.storage.save();
    const IniDocument saved = IniDocument::parse(first.store.document().text());
    const std::string* count = saved.find("Score.ListBox1_Items", "Count");
    if (first.hallOfFame.count() > 0 &&
        (!count || *count != std::to_string(first.hallOfFame.count())))
        std::abort();

    second.restoreFrom(saved);
    if (!sameValues(first, second))
        std::abort();
}

void checkRoster(std::string_view bytes) {
    DocumentStore store;
    store.reset(IniDocument::parse(bytes));
    app::SingerRoster roster;
    roster.load(store, static_cast<int>(bytes.size()) - 300);
    roster.save(store);
    DocumentStore again;
    again.reset(IniDocument::parse(store.document().text()));
    app::SingerRoster reread;
    reread.load(again, 0);
    for (std::size_t i = 0; i < session::kSingerSlots; ++i) {
        const app::SingerSlot &a = roster.slot(i), &b = reread.slot(i);
        if (a.delayMs < 0 || a.delayMs > app::SingerRoster::kMaxDelayMs || a.name.empty() ||
            a.name != b.name || a.colour != b.colour || a.input != b.input ||
            a.delayMs != b.delayMs)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkParser(bytes);
    checkRestore(bytes);
    checkRoster(bytes);
    return 0;
}
