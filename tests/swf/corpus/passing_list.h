// The committed list of corpus tests that pass: every listed test must keep
// passing, and a test that newly passes is printed so that it is added. A
// total alone would let a new failure hide behind a new pass.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace orrivel::swf::test {

class PassingList {
 public:
  explicit PassingList(const std::filesystem::path& file) : file_(file) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) listed_.insert(line);
    }
  }

  bool Empty() const { return listed_.empty(); }

  void Record(const std::string& name, bool pass) {
    seen_.insert(name);
    if (pass && !listed_.contains(name)) newlyPassing_.insert(name);
    if (!pass && listed_.contains(name)) regressed_.insert(name);
  }

  // Fails the running test for every listed test that no longer passes or
  // no longer runs.
  void Check() const {
    for (const std::string& name : regressed_)
      ADD_FAILURE() << "no longer passes: " << name << " (listed in " << file_.filename() << ")";
    for (const std::string& name : listed_)
      if (!seen_.contains(name)) ADD_FAILURE() << "listed but not run: " << name;
    if (!newlyPassing_.empty()) {
      std::printf("\n%zu tests pass that %s does not list; add them:\n", newlyPassing_.size(),
                  file_.filename().string().c_str());
      for (const std::string& name : newlyPassing_) std::printf("%s\n", name.c_str());
    }
  }

 private:
  std::filesystem::path file_;
  std::set<std::string> listed_, seen_, newlyPassing_, regressed_;
};

}  // namespace orrivel::swf::test
