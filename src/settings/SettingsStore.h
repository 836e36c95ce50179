#pragma once

#include "platform/Files.h"
#include "platform/Log.h"
#include "settings/SettingValue.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// The app's persistent settings: one flat map of typed values kept in a JSON file. Every change is
// written at once, so a crash loses nothing. Safe to use from several threads.
//
// Readers never fail: a missing key or one holding another type gives the reader's neutral value.
// A file that is not valid settings is moved aside rather than overwritten, so it can still be
// inspected.
class SettingsStore {
public:
    // A reader of someone else's settings (the report tool) opens them read-only: a file that is
    // not valid settings reads as empty and stays where and as it is, and nothing is ever saved.
    enum class Access { readWrite, readOnly };

    SettingsStore(Files& files, Log& log, std::string path, Access access = Access::readWrite);

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    static constexpr std::size_t maxFileSize = std::size_t{16} << 20;

    const std::string& path() const;
    // False when a file stands at the path that cannot be read as settings (not a regular file, no
    // permission, too large): nothing is then loaded or saved, and problem() says why.
    bool usable() const;
    std::string problem() const;

    bool has(std::string_view key) const;
    std::optional<SettingValue> object(std::string_view key) const;
    std::optional<std::string> text(std::string_view key) const;
    // An integer counts as true when not zero; anything else that is not a boolean reads false.
    bool boolean(std::string_view key) const;
    // Integers convert; anything else that is not a float reads 0.
    float floatValue(std::string_view key) const;
    // A float is truncated toward zero; nullopt when it does not fit.
    std::optional<std::int64_t> integer(std::string_view key) const;
    std::optional<SettingDate> date(std::string_view key) const;
    std::vector<std::string> textArray(std::string_view key) const;
    // Identifiers that a server may send as text or as a number: a number reads as its decimal text,
    // an integral float without a fraction. Any other type counts as absent.
    std::optional<std::string> textOrNumber(std::string_view key) const;

    // An empty text is a value like any other. A value the file cannot hold (a float or date that is
    // not finite, a date outside years 1 to 9999, text that is not UTF-8) is not stored: the key is
    // removed and the log names it.
    void set(std::string_view key, SettingValue value);
    // The nearest date the file can hold (years 1 to 9999 in UTC), for a date that must be stored
    // whatever it is: a local time at the very edge of that range lies outside it in UTC.
    static SettingDate nearestStorableDate(double epochSeconds);
    void setBool(std::string_view key, bool value);
    void setFloat(std::string_view key, float value);
    // A value from a server document. null removes the key; strings, booleans, integers, floats and
    // arrays of strings are stored as such; anything else removes the key and is logged.
    void setJson(std::string_view key, const nlohmann::json& value);
    void remove(std::string_view key);
    // Retries a save that failed earlier. True when everything is on disk.
    bool flush();

private:
    using Map = std::map<std::string, SettingValue, std::less<>>;

    void load();
    void moveAside(const std::string& reason);
    std::string asideName() const;
    const SettingValue* find(std::string_view key) const;
    std::optional<std::string> textOrNumberLocked(std::string_view key) const;
    // Both take the lock; nullopt removes the key.
    void change(std::string_view key, std::optional<SettingValue> value);
    void reject(std::string_view key, const std::string& problem);
    void changeLocked(std::string_view key, std::optional<SettingValue> value);
    bool saveLocked();

    Files& m_files;
    Log& m_log;
    const std::string m_path;
    const std::string m_file; // m_path with symbolic links followed: the file that is read and replaced
    const Access m_access;
    std::string m_problem;
    mutable std::mutex m_mutex;
    Map m_values;
    bool m_unsaved = false;
};

} // namespace velorin
