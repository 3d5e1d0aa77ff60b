#pragma once
// Saves a fixed list of control properties, and the hall of fame, in the
// profile file's section "Score" and restores them at the next start. Borrows the profile
// store and reaches the controls through the accessors of its property list. Main thread only.

#include "app/profile_store_port.h"
#include "session/hall_of_fame.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace cantorix::app {

class GameScene;

// One stored property, named "Component.Property"; its key is "Component_Property".
struct StoredProperty {
    struct Integer {
        std::function<std::int32_t()> get;
        std::function<void(std::int32_t)> set;
    };
    struct Float {
        std::function<float()> get;
        std::function<void(float)> set;
    };
    struct Text {
        std::function<std::string()> get;
        std::function<void(const std::string&)> set;
    };
    // Kept in a section of its own: "Count" and "Item0" … in list order.
    struct TextList {
        std::function<std::vector<std::string>()> get;
        std::function<void(std::vector<std::string>)> set;
    };

    std::string name;
    std::variant<Integer, Float, Text, TextList> access;
};

// The options' section, and the property of the microphone delay (slot 1's since there are
// singer slots, which read it on their first start).
inline constexpr const char* kOptionsSection = "Score";
inline constexpr const char* kMicDelayProperty = "MicDelay.Pos";
// "Phones may join", and the first port the phones' server tries (a key of the options'
// section edited by hand; 8443 when missing or not a port).
inline constexpr const char* kPhonesProperty = "PhonesMayJoin.Checked";
inline constexpr const char* kPhonesPortKey = "PhonesPort";
inline constexpr int kDefaultPhonesPort = 8443;
struct PhonesOption {
    bool mayJoin = false;
    int port = kDefaultPhonesPort;
};
// Read before the window exists: the server starts with the game.
PhonesOption readPhonesOption(const ProfileStore& profile);
// The key a property is kept under: "Component.Property" as "Component_Property".
std::string storedKey(std::string_view property);

// The value formats of the file.
// Signed decimal; text that is not a 32-bit integer (decimal, or hex after "$" or "0x") gives 0.
std::int32_t profileInteger(std::string_view text);
// General format, at most 7 significant digits, "." as decimal separator whatever the locale.
std::string profileFloat(float value);
// A finite number written with "."; nothing for anything else.
std::optional<float> parseProfileFloat(std::string_view text);
// Blanks and control characters removed from both ends.
std::string trimmedText(std::string_view text);

class FormStorage {
public:
    static constexpr int kFormVersion = 0;

    FormStorage(ProfileStore& store, std::vector<StoredProperty> properties,
                std::string section = kOptionsSection);

    // Assigns every stored value through its property's setter. A negative "FormVersion"
    // restores nothing; a property whose value cannot be used keeps its value and the others
    // are still restored. Never throws.
    void restore();
    // Writes "FormVersion" and every property, then flushes the store. Does nothing before a
    // restore has run. Throws EProfileError when the file cannot be written.
    void save();

    bool restored() const { return m_restored; }
    bool saved() const { return m_saved; }

private:
    void restoreOne(const StoredProperty& property);
    void saveOne(const StoredProperty& property);
    std::string listSection(const StoredProperty& property) const;

    ProfileStore& m_store;
    std::vector<StoredProperty> m_properties;
    std::string m_section;
    bool m_restored = false;
    bool m_saved = false;
};

// What the options keep in Score.ini, in the file's order: the hall of fame, the colour
// buttons, the captions of the labels, the export name and the toggles, the scrollbar
// positions; then the difficulty, the microphone delay, the song order and the listing of
// unplayable songs (1 or 0); when songFolders is given the player's own song folders (a list
// section, "Score.SongFolders_Items", edited by hand), and when fullScreen is given the
// full-screen switch (1 or 0). Each key and the control it stores are listed in one table in
// form_storage.cpp.
std::vector<StoredProperty>
storedOptionProperties(GameScene& game, session::HallOfFameList& hallOfFame,
                       std::vector<std::string>* songFolders = nullptr,
                       std::optional<StoredProperty::Integer> fullScreen = std::nullopt);

} // namespace cantorix::app
