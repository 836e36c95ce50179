#include "settings/SettingsStore.h"

#include "platform/UtcDate.h"
#include "settings/SettingsKeys.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>
#include <utility>

namespace velorin {

using nlohmann::json;

namespace {

// ---- Values and their JSON form -------------------------------------------------------------------

// The serialiser's own rule, so whatever passes here can be written.
bool isValidUtf8(const std::string& text)
{
    try {
        (void)json(text).dump();
        return true;
    } catch (const json::exception&) {
        return false;
    }
}

// Brings a value into the form the file keeps, so what is read before a restart equals what is read
// after it. nullopt, with the reason, when the file cannot hold it.
std::optional<SettingValue> storable(std::string_view key, SettingValue value, std::string& problem)
{
    if (!isValidUtf8(std::string(key))) {
        problem = "the name is not valid UTF-8";
        return std::nullopt;
    }
    if (const auto* f = std::get_if<float>(&value); f && !std::isfinite(*f)) {
        problem = "a float that is not finite";
        return std::nullopt;
    }
    if (auto* date = std::get_if<SettingDate>(&value)) {
        const auto ms = utcMilliseconds(date->epochSeconds);
        if (!ms) {
            problem = "a date outside the years 1 to 9999";
            return std::nullopt;
        }
        date->epochSeconds = static_cast<double>(*ms) / 1000.0;
    }
    bool textOk = true;
    if (const auto* s = std::get_if<std::string>(&value))
        textOk = isValidUtf8(*s);
    if (const auto* list = std::get_if<std::vector<std::string>>(&value))
        for (const auto& s : *list)
            textOk = textOk && isValidUtf8(s);
    if (!textOk) {
        problem = "text that is not valid UTF-8";
        return std::nullopt;
    }
    return value;
}

json encode(const SettingValue& value)
{
    return std::visit(
        [](const auto& v) -> json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, float>)
                return static_cast<double>(v); // exact, and written with a decimal point or exponent
            else if constexpr (std::is_same_v<T, SettingDate>)
                return json{{"$date", formatUtcDate(*utcMilliseconds(v.epochSeconds))}};
            else
                return v;
        },
        value);
}

// nullopt, with the reason, for a shape the store has no type for.
std::optional<SettingValue> decode(const json& value, bool acceptDate, std::string& problem)
{
    switch (value.type()) {
    case json::value_t::string:
        return value.get<std::string>();
    case json::value_t::boolean:
        return value.get<bool>();
    case json::value_t::number_integer:
        return value.get<std::int64_t>();
    case json::value_t::number_unsigned: {
        const auto n = value.get<std::uint64_t>();
        if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            problem = "an integer too large to keep";
            return std::nullopt;
        }
        return static_cast<std::int64_t>(n);
    }
    case json::value_t::number_float: {
        const double d = value.get<double>();
        if (!std::isfinite(d) || std::fabs(d) > std::numeric_limits<float>::max()) {
            problem = "a number out of range for a float";
            return std::nullopt;
        }
        return static_cast<float>(d);
    }
    case json::value_t::array: {
        std::vector<std::string> list;
        for (const auto& item : value) {
            if (!item.is_string()) {
                problem = "an array holding something other than text";
                return std::nullopt;
            }
            list.push_back(item.get<std::string>());
        }
        return list;
    }
    case json::value_t::object:
        if (acceptDate && value.size() == 1 && value.contains("$date") && value["$date"].is_string()) {
            if (const auto ms = parseUtcDate(value["$date"].get<std::string>()))
                return SettingDate{static_cast<double>(*ms) / 1000.0};
            problem = "a date that does not parse";
            return std::nullopt;
        }
        problem = acceptDate ? "an object that is not a date" : "an object";
        return std::nullopt;
    case json::value_t::null:
        problem = "null";
        return std::nullopt;
    default:
        problem = "a value of an unsupported kind";
        return std::nullopt;
    }
}

// The shortest text that reads back as the same float; integral values get no fraction.
std::optional<std::string> decimalText(float f)
{
    if (!std::isfinite(f))
        return std::nullopt;
    if (f == 0.0f)
        return "0"; // not "-0"
    char text[128];
    const auto result = std::to_chars(text, text + sizeof text, f, std::chars_format::fixed);
    return std::string(text, result.ptr);
}

std::string parentDirectory(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

// "[json.exception.parse_error.101] parse error at ..." reads better without the tag.
std::string withoutTag(const char* what)
{
    std::string_view text(what);
    if (!text.empty() && text.front() == '[') {
        const auto end = text.find("] ");
        if (end != std::string_view::npos)
            text.remove_prefix(end + 2);
    }
    return std::string(text);
}

// Measures a document before it is built, in constant memory: a file far beyond what settings ever
// hold (deep nesting, a flood of values, megabytes of text) would cost many times its size to build.
class DocumentShape : public nlohmann::json_sax<json> {
public:
    static constexpr std::size_t maxDepth = 16;
    static constexpr std::size_t maxValues = 10'000;
    static constexpr std::size_t maxText = std::size_t{4} << 20;

    // Why the document is not settings, or empty when it may be built.
    std::string problem;

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t& text) override { return addText(text.size()) && value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override { return open(); }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(); }
    bool end_array() override { return close(); }
    bool key(string_t& text) override { return addText(text.size()); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override
    {
        problem = withoutTag(e.what());
        return false;
    }

private:
    bool refuse(std::string why)
    {
        problem = std::move(why);
        return false;
    }
    bool value()
    {
        return ++m_values <= maxValues || refuse("more than " + std::to_string(maxValues) + " values");
    }
    bool addText(std::size_t size)
    {
        m_text += size;
        return m_text <= maxText || refuse("more than " + std::to_string(maxText >> 20) + " MiB of text");
    }
    bool open()
    {
        return (++m_depth <= maxDepth || refuse("nested deeper than " + std::to_string(maxDepth) + " levels")) &&
               value();
    }
    bool close()
    {
        --m_depth;
        return true;
    }

    std::size_t m_values = 0;
    std::size_t m_text = 0;
    std::size_t m_depth = 0;
};

} // namespace

// ---- SettingsStore --------------------------------------------------------------------------------

SettingsStore::SettingsStore(Files& files, Log& log, std::string path, Access access)
    : m_files(files), m_log(log), m_path(std::move(path)), m_file(m_files.followLinks(m_path)), m_access(access)
{
    load();
}

bool SettingsStore::usable() const
{
    std::lock_guard lock(m_mutex);
    return m_problem.empty();
}

std::string SettingsStore::problem() const
{
    std::lock_guard lock(m_mutex);
    return m_problem;
}

const std::string& SettingsStore::path() const
{
    return m_path;
}

void SettingsStore::load()
{
    if (!m_files.exists(m_file))
        return; // first run
    std::string bytes;
    // Only a file that was read and found malformed is moved aside. What cannot be read at all (a
    // directory, a device, a FIFO, a file without permission, one far too large to be settings) is
    // not ours to move or replace: the store refuses to work with it.
    if (const FileResult read = m_files.readAll(m_file, bytes, maxFileSize); !read.ok) {
        m_problem = "the settings file " + m_path + " cannot be used: " + read.error;
        m_log.line(m_problem);
        return;
    }
    DocumentShape shape;
    if (!json::sax_parse(bytes, &shape)) {
        moveAside(shape.problem);
        return;
    }
    json doc;
    try {
        doc = json::parse(bytes);
    } catch (const json::exception& e) {
        moveAside(withoutTag(e.what()));
        return;
    }
    if (!doc.is_object()) {
        moveAside("the top level is not an object");
        return;
    }
    // One bad value should not cost the user every other setting.
    bool dropped = false;
    for (const auto& [key, value] : doc.items()) {
        std::string problem;
        if (auto decoded = decode(value, true, problem)) {
            m_values.insert_or_assign(key, std::move(*decoded));
        } else {
            m_log.line("Settings file " + m_path + ": dropped \"" + key + "\" (" + problem + ")");
            dropped = true;
        }
    }
    // The next save would lose the dropped values for good: keep the file as it was beside it.
    if (dropped && m_access == Access::readWrite) {
        const std::string copy = asideName();
        if (const FileResult kept = m_files.writeAtomically(copy, bytes, 0600); kept.ok)
            m_log.line("Settings file " + m_path + ": kept the file as it was in " + copy);
        else
            m_log.line("Settings file " + m_path + ": could not keep a copy in " + copy + " (" + kept.error + ")");
    }
}

std::string SettingsStore::asideName() const
{
    std::string target = m_file + ".corrupt";
    for (int n = 1; m_files.exists(target); ++n)
        target = m_file + ".corrupt." + std::to_string(n);
    return target;
}

// Keeps the unreadable file for inspection instead of overwriting it with the next save.
void SettingsStore::moveAside(const std::string& reason)
{
    const std::string what = "Settings file " + m_path + " is not valid settings (" + reason + "); ";
    if (m_access == Access::readOnly) {
        m_log.line(what + "read as empty settings and left as it is");
        return;
    }
    const std::string target = asideName();
    if (const FileResult moved = m_files.rename(m_file, target); moved.ok)
        m_log.line(what + "moved it to " + target);
    else
        m_log.line(what + "could not move it to " + target + " (" + moved.error + "); starting with empty settings");
}

const SettingValue* SettingsStore::find(std::string_view key) const
{
    const auto it = m_values.find(key);
    return it == m_values.end() ? nullptr : &it->second;
}

bool SettingsStore::has(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    return find(key) != nullptr;
}

std::optional<SettingValue> SettingsStore::object(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    if (const SettingValue* v = find(key))
        return *v;
    return std::nullopt;
}

std::optional<std::string> SettingsStore::text(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    if (const auto* s = std::get_if<std::string>(find(key)))
        return *s;
    return std::nullopt;
}

bool SettingsStore::boolean(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    const SettingValue* v = find(key);
    if (const auto* b = std::get_if<bool>(v))
        return *b;
    if (const auto* i = std::get_if<std::int64_t>(v))
        return *i != 0;
    return false;
}

float SettingsStore::floatValue(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    const SettingValue* v = find(key);
    if (const auto* f = std::get_if<float>(v))
        return *f;
    if (const auto* i = std::get_if<std::int64_t>(v))
        return static_cast<float>(*i);
    return 0.0f;
}

std::optional<std::int64_t> SettingsStore::integer(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    const SettingValue* v = find(key);
    if (const auto* i = std::get_if<std::int64_t>(v))
        return *i;
    // 2^63 is exact in a float; anything from there up would overflow the cast.
    constexpr float limit = 9223372036854775808.0f;
    if (const auto* f = std::get_if<float>(v); f && *f >= -limit && *f < limit)
        return static_cast<std::int64_t>(*f);
    return std::nullopt;
}

std::optional<SettingDate> SettingsStore::date(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    if (const auto* d = std::get_if<SettingDate>(find(key)))
        return *d;
    return std::nullopt;
}

std::vector<std::string> SettingsStore::textArray(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    if (const auto* list = std::get_if<std::vector<std::string>>(find(key)))
        return *list;
    return {};
}

std::optional<std::string> SettingsStore::textOrNumberLocked(std::string_view key) const
{
    const SettingValue* v = find(key);
    if (const auto* s = std::get_if<std::string>(v))
        return *s;
    if (const auto* i = std::get_if<std::int64_t>(v))
        return std::to_string(*i);
    if (const auto* f = std::get_if<float>(v))
        return decimalText(*f);
    return std::nullopt;
}

std::optional<std::string> SettingsStore::textOrNumber(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    return textOrNumberLocked(key);
}

void SettingsStore::set(std::string_view key, SettingValue value)
{
    std::string problem;
    if (auto kept = storable(key, std::move(value), problem))
        change(key, std::move(kept));
    else
        reject(key, problem);
}

SettingDate SettingsStore::nearestStorableDate(double epochSeconds)
{
    const double earliest = static_cast<double>(earliestUtcMilliseconds) / 1000.0, latest = static_cast<double>(latestUtcMilliseconds) / 1000.0;
    return SettingDate{std::isnan(epochSeconds) ? earliest : std::clamp(epochSeconds, earliest, latest)};
}

void SettingsStore::setBool(std::string_view key, bool value)
{
    set(key, value);
}

void SettingsStore::setFloat(std::string_view key, float value)
{
    set(key, value);
}

void SettingsStore::setJson(std::string_view key, const nlohmann::json& value)
{
    if (value.is_null()) {
        change(key, std::nullopt);
        return;
    }
    std::string problem;
    if (auto decoded = decode(value, false, problem))
        set(key, std::move(*decoded));
    else
        reject(key, problem);
}

void SettingsStore::remove(std::string_view key)
{
    change(key, std::nullopt);
}

bool SettingsStore::flush()
{
    std::lock_guard lock(m_mutex);
    return !m_unsaved || saveLocked();
}

void SettingsStore::change(std::string_view key, std::optional<SettingValue> value)
{
    std::lock_guard lock(m_mutex);
    changeLocked(key, std::move(value));
}

// A stale value left under the key would be worse than none: the reader falls back to its default.
void SettingsStore::reject(std::string_view key, const std::string& problem)
{
    std::lock_guard lock(m_mutex);
    m_log.line("Setting \"" + std::string(key) + "\" not stored (" + problem + "); removed it");
    changeLocked(key, std::nullopt);
}

void SettingsStore::changeLocked(std::string_view key, std::optional<SettingValue> value)
{
    const auto it = m_values.find(key);
    if (!value) {
        if (it == m_values.end())
            return;
        m_values.erase(it);
    } else if (it == m_values.end()) {
        m_values.emplace(std::string(key), std::move(*value));
    } else if (it->second != *value) {
        it->second = std::move(*value);
    } else {
        return;
    }
    m_unsaved = true;
    saveLocked();
}

// Saving under the lock keeps saves in the order of the changes, so the file never goes back to an
// older state; the file is small, so readers on the other thread wait only briefly.
bool SettingsStore::saveLocked()
{
    if (!m_problem.empty() || m_access == Access::readOnly)
        return false;
    json doc = json::object();
    for (const auto& [key, value] : m_values)
        doc[key] = encode(value);
    const std::string bytes = doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";

    FileResult result;
    if (const std::string parent = parentDirectory(m_file); !parent.empty() && !m_files.exists(parent))
        result = m_files.createDirectories(parent, 0700);
    if (result.ok)
        result = m_files.writeAtomically(m_file, bytes, 0600, true);
    if (!result.ok) {
        m_log.line("Could not save settings to " + m_path + " (" + result.error + ")");
        return false;
    }
    m_unsaved = false;
    return true;
}

} // namespace velorin
