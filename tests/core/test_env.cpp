// Points the per-user folders at a temporary folder for the whole test run,
// so no test reads or writes the real home folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {

class PrivateHome : public ::testing::Environment {
  public:
    void SetUp() override {
        std::string tmpl = (std::filesystem::temp_directory_path() / "octile-home-XXXXXX").string();
        root_ = ::mkdtemp(tmpl.data());
        ::setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

  private:
    std::string root_;
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new PrivateHome);

}  // namespace
