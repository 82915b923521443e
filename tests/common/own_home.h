// The folders a program shares with the user who runs it — home, the XDG
// config, data, cache and state folders, and the runtime folder — made fresh
// below TMPDIR for one test program and removed when it ends. Made before
// the QApplication, so nothing Qt or the speech service writes (settings,
// file-dialog state, font caches, runtime files) reaches the user's folders,
// nor /tmp while the build lists the tests with no runtime folder set.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

class TOwnHome {
public:
  TOwnHome() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/varnelo-home-XXXXXX";
    if (::mkdtemp(dir.data()) == nullptr) {
      std::perror(dir.c_str());
      std::abort();
    }
    root_ = dir;
    static const struct {
      const char* var;
      const char* name;
    } kFolders[] = {{"HOME", "home"},          {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
                    {"XDG_CACHE_HOME", "cache"}, {"XDG_STATE_HOME", "state"},   {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto& f : kFolders) {
      const std::string path = root_ + "/" + f.name;
      // Qt accepts a runtime folder only when nobody else may enter it.
      if (::mkdir(path.c_str(), 0700) != 0) {
        std::perror(path.c_str());
        std::abort();
      }
      ::setenv(f.var, path.c_str(), 1);
    }
  }
  ~TOwnHome() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TOwnHome(const TOwnHome&) = delete;
  TOwnHome& operator=(const TOwnHome&) = delete;

  const std::string& Root() const { return root_; }

private:
  std::string root_;
};
