#pragma once
// A temporary folder for one test, removed with everything in it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace octile::test {

class TempDir {
  public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "octile-test-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        path_ = ::mkdtemp(buf.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string p = File(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }
    // A file of size bytes that takes no disk space (a hole), or "" when the
    // file system cannot make it.
    std::string Sparse(const std::string& name, uint64_t size) const {
        const std::string p = File(name);
        const int fd = ::open(p.c_str(), O_CREAT | O_RDWR | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return "";
        const bool made = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
        ::close(fd);
        return made ? p : "";
    }

  private:
    std::string path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// n pseudo-random bytes, the same for the same seed.
inline std::string RandomBytes(uint64_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& ch : s) ch = static_cast<char>(rng() & 0xFF);
    return s;
}

}  // namespace octile::test
