#include "vortel/settings.h"

#include "foundation/system/regprofile.h"
#include "lumvex/avi/avi_file.h"
#include "platform/gui/messages.h"
#include "platform/video/avi_file.h"
#include "vortel/settings_dialog.h"

#include <cctype>

namespace vortel {

namespace {

const platform::registry_root root = platform::registry_root::current_user;

// The formats the dialog offers, as it stores them.
const char* const known_formats[] = { "avi", "bmp", "gif", "jpeg", "png", "tga", "tiff" };

// `stored` as one of the known formats (case ignored), or empty.
std::string known_format(const std::string& stored)
{
    std::string lower;
    for (char c : stored)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* f : known_formats)
        if (lower == f)
            return lower;
    return {};
}

} // namespace

settings::settings(bool load)
{
    if (load)
        read_registry();
}

settings::settings(const settings& other)
{
    *this = other;
}

settings& settings::operator=(const settings& other)
{
    if (this == &other)
        return *this;
    format = other.format;
    alpha = other.alpha;
    field = other.field;
    if (other.encoder.is_open()) {
        std::vector<unsigned char> state;
        other.encoder.get_state(state);
        encoder_info = other.encoder_info;
        encoder.open(encoder_info);
        encoder.set_state(state);
    } else {
        encoder.close();
        encoder_info = other.encoder_info;
    }
    return *this;
}

settings::~settings() = default;

void settings::any_format()
{
    format = "bmp";
}

void settings::read_registry()
{
    regprofile::key key(root, settings_key, false, true);
    if (!key.is_open())
        return;
    // Any other stored text would name a format no writer makes, and every
    // image-sequence render would fail at its first frame.
    try {
        format = known_format(key.read_string("format"));
        if (format.empty())
            any_format();
    } catch (const regprofile::error&) {
        any_format();
    }
    try {
        alpha = key.read_integer("alpha") != 0;
    } catch (const regprofile::error&) {
        alpha = false;
    }
    try {
        const auto value = static_cast<std::uint32_t>(key.read_integer("field"));
        field = value > 2 ? 0 : std::int32_t(value);
    } catch (const regprofile::error&) {
        field = 0;
    }

    encoder.close();
    encoder_info = img::avi::coder_info();
    std::string stored;
    try {
        stored = key.read_string("encoder");
    } catch (const regprofile::error&) {
        return;
    }
    char code[4] = {};
    for (std::size_t i = 0; i < 4 && i < stored.size(); ++i)
        code[i] = stored[i];
    try {
        encoder.open_code(encoder_info, platform::mmioFOURCC(code[0], code[1], code[2], code[3]));
    } catch (const img::avi::exception&) {
        // No longer installed (or never was): no compressor is chosen.
        encoder.close();
        encoder_info = img::avi::coder_info();
        return;
    }
    try {
        std::vector<unsigned char> state;
        key.read_binary(stored + "\\state", state);
        encoder.set_state(state);
    } catch (const regprofile::error&) {
        // No stored state: the compressor keeps the one it opened with.
    } catch (const img::avi::exception&) {
        // A state the compressor refuses: it keeps the one it opened with.
    }
}

void settings::write_registry()
{
    regprofile::key key(root, settings_key, true, true);
    if (!key.is_open())
        return;
    key.write_string("format", format);
    key.write_dword("alpha", alpha ? 1 : 0);
    key.write_dword("field", std::uint32_t(field));
    if (encoder.is_open()) {
        const std::string code = encoder_info.code_text();
        std::vector<unsigned char> state;
        encoder.get_state(state);
        key.write_string("encoder", code);
        key.write_binary(code + "\\state", state);
    }
}

void settings::read_encoder_state(img::avi::coder& coder)
{
    if (!coder.is_open())
        return;
    regprofile::key key(root, settings_key, false, true);
    if (!key.is_open())
        return;
    try {
        std::vector<unsigned char> state;
        key.read_binary(coder.info()->code_text() + "\\state", state);
        coder.set_state(state);
    } catch (const regprofile::error&) {
    } catch (const img::avi::exception&) {
    }
}

void settings::configure(bool save, CWnd* parent)
{
    settings_dialog dialog(*this, parent);
    if (dialog.DoModal() == IDOK && save)
        write_registry();
}

} // namespace vortel
