#pragma once
// The per-user store of everything the program remembers on its own:
// sections of integer and string values.
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "settings/ini_file.h"

namespace octile {

class ProfileStore {
  public:
    virtual ~ProfileStore() = default;
    virtual int32_t GetProfileInt(const std::string& section, const std::string& entry,
                                  int32_t defaultValue) = 0;
    virtual std::string GetProfileString(const std::string& section, const std::string& entry,
                                         const std::string& defaultValue) = 0;
    virtual void WriteProfileInt(const std::string& section, const std::string& entry,
                                 int32_t value) = 0;
    virtual void WriteProfileString(const std::string& section, const std::string& entry,
                                    const std::string& value) = 0;
    // Removes the whole store, and the maker's folder when nothing else is in it.
    virtual void DeleteProfileTree() = 0;
    // Makes the values written so far durable.
    virtual void Flush() = 0;
};

// Parses a stored integer: optional blanks and sign, decimal digits (or
// "0x" and hexadecimal digits). Values out of the 32-bit range wrap as a
// 32-bit register value would. Text that is no number gives the default.
int32_t ParseProfileInt(const std::string& text, int32_t defaultValue);

// The INI file $XDG_CONFIG_HOME/Zenkobo/ﾊﾞｲﾅﾘｴﾃﾞｨﾀ.ini. Read once when made;
// written back by Flush when a value changed (new file renamed over the old
// one, or over the file a symbolic link names, keeping its permissions).
class IniProfileStore : public ProfileStore {
  public:
    // path empty: nothing is read or written (no usable home folder).
    explicit IniProfileStore(std::string path);
    // The values of a file already read, kept in memory and written nowhere.
    explicit IniProfileStore(IniFile file) : file_(std::move(file)) {}
    ~IniProfileStore() override;

    int32_t GetProfileInt(const std::string& section, const std::string& entry,
                          int32_t defaultValue) override;
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue) override;
    void WriteProfileInt(const std::string& section, const std::string& entry,
                         int32_t value) override;
    void WriteProfileString(const std::string& section, const std::string& entry,
                            const std::string& value) override;
    void DeleteProfileTree() override;
    void Flush() override;

    const std::string& path() const { return path_; }
    // The file as Flush writes it.
    const IniFile& file() const { return file_; }

  private:
    std::string path_;
    IniFile file_;
    bool dirty_ = false;
    bool readWhole_ = true;
};

}  // namespace octile
