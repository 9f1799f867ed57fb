#pragma once
// A ProfileStore that keeps its values in memory and counts its writes, for
// tests that must see what the program remembers without touching the
// user's settings file.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "settings/profile_store.h"

namespace octile {

class MemoryProfileStore : public ProfileStore {
  public:
    int32_t GetProfileInt(const std::string& section, const std::string& entry,
                          int32_t defaultValue) override {
        if (!Has(section, entry)) return defaultValue;
        return ParseProfileInt(values[section][entry], defaultValue);
    }
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue) override {
        if (!Has(section, entry)) return defaultValue;
        return values[section][entry];
    }
    void WriteProfileInt(const std::string& section, const std::string& entry,
                         int32_t value) override {
        values[section][entry] = std::to_string(value);
        ++writes;
    }
    void WriteProfileString(const std::string& section, const std::string& entry,
                            const std::string& value) override {
        values[section][entry] = value;
        ++writes;
    }
    void DeleteProfileTree() override {
        values.clear();
        deleted = true;
    }
    void Flush() override {}

    bool Has(const std::string& section, const std::string& entry) const {
        auto s = values.find(section);
        return s != values.end() && s->second.count(entry) != 0;
    }

    size_t writes = 0;
    bool deleted = false;
    std::map<std::string, std::map<std::string, std::string>> values;
};

}  // namespace octile
