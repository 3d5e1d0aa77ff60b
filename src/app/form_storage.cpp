#include "form_storage.h"

#include "game_scene.h"
#include "options_form.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr const char* kFormVersionKey = "FormVersion";
constexpr const char* kCountKey = "Count";

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string keyOf(const StoredProperty& property) {
    return storedKey(property.name);
}

std::string itemKey(std::size_t index) {
    return "Item" + std::to_string(index);
}

template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;

} // namespace

std::string storedKey(std::string_view property) {
    std::string key(property);
    std::replace(key.begin(), key.end(), '.', '_');
    return key;
}

PhonesOption readPhonesOption(const ProfileStore& profile) {
    PhonesOption option;
    option.mayJoin =
        profileInteger(profile.readString(kOptionsSection, storedKey(kPhonesProperty), "0")) != 0;
    const std::int32_t port = profileInteger(
        profile.readString(kOptionsSection, kPhonesPortKey, std::to_string(kDefaultPhonesPort)));
    if (port >= 1 && port <= 65535)
        option.port = port;
    return option;
}

std::string trimmedText(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

std::int32_t profileInteger(std::string_view text) {
    const std::string trimmed = trimmedText(text);
    std::string_view s = trimmed;
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.starts_with('$')) {
        base = 16;
        s.remove_prefix(1);
    } else if (s.starts_with("0x") || s.starts_with("0X")) {
        base = 16;
        s.remove_prefix(2);
    }
    // Digits only: from_chars would take a sign of its own.
    if (s.empty() || !std::all_of(s.begin(), s.end(), [base](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) ||
                   (base == 16 && std::isxdigit(static_cast<unsigned char>(c)));
        }))
        return 0;
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (ec != std::errc() || end != s.data() + s.size())
        return 0;
    // Hexadecimal covers all 32 bits, as colours are written by hand; decimal is a signed value.
    const std::int64_t limit = base == 16 ? 0xFFFFFFFFll : std::numeric_limits<std::int32_t>::max();
    if (magnitude > static_cast<std::uint64_t>(limit) + (negative && base == 10 ? 1 : 0))
        return 0;
    const std::int64_t value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::string profileFloat(float value) {
    char buffer[32];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::optional<float> parseProfileFloat(std::string_view text) {
    const std::string trimmed = trimmedText(text);
    std::string_view s = trimmed;
    if (s.starts_with('+'))
        s.remove_prefix(1);
    if (s.empty() || !(std::isdigit(static_cast<unsigned char>(s.front())) || s.front() == '-' ||
                       s.front() == '.'))
        return std::nullopt;
    float value = 0;
    const auto [end, ec] =
        std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

FormStorage::FormStorage(ProfileStore& store, std::vector<StoredProperty> properties,
                         std::string section)
    : m_store(store), m_properties(std::move(properties)), m_section(std::move(section)) {}

std::string FormStorage::listSection(const StoredProperty& property) const {
    return m_section + "." + keyOf(property);
}

void FormStorage::restore() {
    m_restored = true;
    try {
        if (profileInteger(m_store.readString(m_section, kFormVersionKey, "0")) < 0)
            return;
        for (const StoredProperty& property : m_properties) {
            try {
                restoreOne(property);
            } catch (...) {
                // This property keeps its value; the next ones are still restored.
            }
        }
    } catch (...) {
        // A restore that fails as a whole leaves the design values; the game goes on.
    }
}

void FormStorage::restoreOne(const StoredProperty& property) {
    const std::string key = keyOf(property);
    std::visit(
        Overloaded{
            [&](const StoredProperty::Integer& p) {
                p.set(profileInteger(m_store.readString(m_section, key, std::to_string(p.get()))));
            },
            [&](const StoredProperty::Float& p) {
                if (auto value = parseProfileFloat(
                        m_store.readString(m_section, key, profileFloat(p.get()))))
                    p.set(*value);
            },
            [&](const StoredProperty::Text& p) {
                p.set(trimmedText(m_store.readString(m_section, key, p.get())));
            },
            [&](const StoredProperty::TextList& p) {
                const std::string section = listSection(property);
                const std::int32_t count =
                    profileInteger(m_store.readString(section, kCountKey, "0"));
                if (count <= 0)
                    return;
                // A count far beyond the keys present is a damaged file: it cannot name
                // more entries than the section holds keys.
                const std::size_t n =
                    std::min(static_cast<std::size_t>(count), m_store.keyNames(section).size());
                std::vector<std::string> items;
                items.reserve(n);
                for (std::size_t i = 0; i < n; ++i)
                    items.push_back(m_store.readString(section, itemKey(i), ""));
                p.set(std::move(items));
            },
        },
        property.access);
}

void FormStorage::save() {
    if (!m_restored)
        return;
    m_store.writeString(m_section, kFormVersionKey, std::to_string(kFormVersion));
    for (const StoredProperty& property : m_properties)
        saveOne(property);
    m_store.flush();
    m_saved = true;
}

void FormStorage::saveOne(const StoredProperty& property) {
    const std::string key = keyOf(property);
    std::visit(Overloaded{
                   [&](const StoredProperty::Integer& p) {
                       m_store.writeString(m_section, key, std::to_string(p.get()));
                   },
                   [&](const StoredProperty::Float& p) {
                       m_store.writeString(m_section, key, profileFloat(p.get()));
                   },
                   [&](const StoredProperty::Text& p) {
                       m_store.writeString(m_section, key, trimmedText(p.get()));
                   },
                   [&](const StoredProperty::TextList& p) {
                       const std::string section = listSection(property);
                       m_store.eraseSection(section);
                       const std::vector<std::string> items = p.get();
                       if (items.empty())
                           return;
                       m_store.writeString(section, kCountKey, std::to_string(items.size()));
                       for (std::size_t i = 0; i < items.size(); ++i)
                           m_store.writeString(section, itemKey(i), items[i]);
                   },
               },
               property.access);
}

namespace {

// What a stored key holds of its control.
enum class StoredValue {
    DefaultColour,
    FocusedColour,
    Caption,
    Position, // of a scrollbar
    Switch,   // a toggle kept as 1 or 0 rather than as its caption "X"
};

struct StoredControl {
    const char* property; // "Component.Property"; the key is "Component_Property"
    StoredValue value;
    TGLBaseControl* control;
};

// The names Score.ini keeps, in the order the file keeps them. They are the designed
// component names and stay byte for byte, whatever the controls are called in the code.
constexpr const char* kHallOfFameProperty = "ListBox1.Items";
constexpr const char* kSongFoldersProperty = "SongFolders.Items";
constexpr const char* kFullScreenProperty = "FullScreen.Checked";

std::vector<StoredControl> storedControls(GameScene& g) {
    using enum StoredValue;
    GameplayOptions& play = g.options.gameplay;
    SoundOptions& sound = g.options.sound;
    AppearanceOptions& look = g.options.appearance;
    return {
        {"GLButton5.DefaultColor", DefaultColour, look.tabColourButton},
        {"GLButton5.FocusedColor", FocusedColour, look.tabColourButton},
        {"GLButton6.FocusedColor", FocusedColour, look.actualTabColourButton},
        {"GLButton6.DefaultColor", DefaultColour, look.actualTabColourButton},
        {"GLButton10.FocusedColor", FocusedColour, look.voiceTabColourButton},
        {"GLButton10.DefaultColor", DefaultColour, look.voiceTabColourButton},
        {"GLButton11.FocusedColor", FocusedColour, look.textColourButton},
        {"GLButton11.DefaultColor", DefaultColour, look.textColourButton},
        {"GLLabel14.Caption", Caption, look.transparencyLabel},
        {"GLEdit1.Caption", Caption, sound.exportName},
        {"GLForm1.Caption", Caption, g.selection.form},
        {"istabs.Caption", Caption, play.tabsToggle},
        {"GLButton1.Caption", Caption, play.lyricsToggle},
        {"GLButton2.Caption", Caption, play.oscilloscopeToggle},
        {"GLButton3.Caption", Caption, play.timeToggle},
        {"GLScrollbar1.Pos", Position, play.videoSpeed},
        {"GLScrollbar2.Pos", Position, play.videoQuality},
        {"GLLabel5.Caption", Caption, play.videoSpeedLabel},
        {"GLLabel6.Caption", Caption, play.videoQualityLabel},
        {"GLScrollbar3.Pos", Position, look.transparency},
        // Options added later go after the designed list, whose order the file keeps.
        {"Difficulty.Pos", Position, play.difficulty},
        {kMicDelayProperty, Position, sound.micDelay},
        {"SongOrder.Caption", Caption, play.songOrder},
        {"ShowUnplayable.Checked", Switch, look.showUnplayable},
        {kPhonesProperty, Switch, sound.phonesToggle},
    };
}

StoredProperty::Integer colourAccess(TGLBaseControl& control, bool focused) {
    return {[&control, focused] {
                return static_cast<std::int32_t>(focused ? control.focusedColor()
                                                         : control.defaultColor());
            },
            [&control, focused](std::int32_t v) {
                const auto colour = static_cast<TColor>(v);
                focused ? control.setFocusedColor(colour) : control.setDefaultColor(colour);
            }};
}

StoredProperty propertyOf(const StoredControl& stored) {
    TGLBaseControl& control = *stored.control;
    switch (stored.value) {
    case StoredValue::DefaultColour:
    case StoredValue::FocusedColour:
        return {stored.property, colourAccess(control, stored.value == StoredValue::FocusedColour)};
    case StoredValue::Caption:
        return {stored.property,
                StoredProperty::Text{[&control] { return control.caption(); },
                                     [&control](const std::string& v) { control.setCaption(v); }}};
    case StoredValue::Position: {
        auto& bar = dynamic_cast<TGLScrollbar&>(control);
        return {stored.property, StoredProperty::Float{[&bar] { return bar.pos(); },
                                                       [&bar](float v) { bar.setPos(v); }}};
    }
    case StoredValue::Switch:
        break;
    }
    return {stored.property,
            StoredProperty::Integer{[&control] { return toggleIsOn(control) ? 1 : 0; },
                                    [&control](std::int32_t on) { setToggle(control, on != 0); }}};
}

} // namespace

std::vector<StoredProperty>
storedOptionProperties(GameScene& g, session::HallOfFameList& hallOfFame,
                       std::vector<std::string>* songFolders,
                       std::optional<StoredProperty::Integer> fullScreen) {
    std::vector<StoredProperty> list;
    list.push_back({kHallOfFameProperty,
                    StoredProperty::TextList{[&hallOfFame] { return hallOfFame.entries(); },
                                             [&hallOfFame](std::vector<std::string> v) {
                                                 hallOfFame.assign(std::move(v));
                                             }}});
    for (const StoredControl& stored : storedControls(g))
        list.push_back(propertyOf(stored));
    if (songFolders)
        list.push_back({kSongFoldersProperty,
                        StoredProperty::TextList{[songFolders] { return *songFolders; },
                                                 [songFolders](std::vector<std::string> v) {
                                                     *songFolders = std::move(v);
                                                 }}});
    if (fullScreen)
        list.push_back({kFullScreenProperty, std::move(*fullScreen)});
    return list;
}

} // namespace cantorix::app
