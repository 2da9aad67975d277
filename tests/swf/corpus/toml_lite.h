// Just enough TOML for the corpus's test.toml files: tables, arrays of
// tables, dotted and quoted keys, inline tables, numbers, strings, booleans.
// Values are kept flat under their key path, segments joined with '/'.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orrivel::swf::test {

class TomlLite {
 public:
  static TomlLite Parse(std::string_view text) {
    TomlLite t;
    std::vector<std::string> table;
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = Trim(StripComment(text.substr(pos, end - pos)));
      pos = end + 1;
      if (line.empty()) continue;
      if (line.starts_with("[[")) {
        auto path = SplitKey(Trim(line.substr(2, line.find("]]") - 2)));
        const std::string joined = Join(path);
        path.push_back(std::to_string(t.arrayCounts_[joined]++));
        table = path;
      } else if (line.front() == '[') {
        table = SplitKey(Trim(line.substr(1, line.find(']') - 1)));
      } else {
        t.Assign(table, line);
      }
    }
    return t;
  }

  std::optional<std::string> String(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  std::optional<double> Number(const std::string& key) const {
    auto s = String(key);
    if (!s || s->empty()) return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(s->c_str(), &end);
    if (*end != '\0') return std::nullopt;
    return v;
  }
  const std::map<std::string, std::string>& Values() const { return values_; }

 private:
  static std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
      s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
      s.remove_suffix(1);
    return s;
  }
  static std::string_view StripComment(std::string_view s) {
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '"') quoted = !quoted;
      if (s[i] == '#' && !quoted) return s.substr(0, i);
    }
    return s;
  }
  // a."b.c".d -> {a, b.c, d}
  static std::vector<std::string> SplitKey(std::string_view key) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (char c : key) {
      if (c == '"') {
        quoted = !quoted;
      } else if (c == '.' && !quoted) {
        out.push_back(std::string(Trim(cur)));
        cur.clear();
      } else {
        cur += c;
      }
    }
    out.push_back(std::string(Trim(cur)));
    return out;
  }
  static std::string Join(const std::vector<std::string>& path) {
    std::string s;
    for (const auto& p : path) s += (s.empty() ? "" : "/") + p;
    return s;
  }
  // Splits on commas that are outside quotes, braces and brackets.
  static std::vector<std::string_view> SplitTopLevel(std::string_view s) {
    std::vector<std::string_view> out;
    int nest = 0;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const char c = s[i];
      if (c == '"') quoted = !quoted;
      if (quoted) continue;
      if (c == '{' || c == '[') ++nest;
      if (c == '}' || c == ']') --nest;
      if (c == ',' && nest == 0) {
        out.push_back(s.substr(start, i - start));
        start = i + 1;
      }
    }
    out.push_back(s.substr(start));
    return out;
  }
  void Assign(const std::vector<std::string>& table, std::string_view line) {
    // '=' outside quotes separates key and value.
    bool quoted = false;
    std::size_t eq = std::string_view::npos;
    for (std::size_t i = 0; i < line.size() && eq == std::string_view::npos; ++i) {
      if (line[i] == '"') quoted = !quoted;
      if (line[i] == '=' && !quoted) eq = i;
    }
    if (eq == std::string_view::npos) return;
    std::vector<std::string> path = table;
    for (auto& k : SplitKey(Trim(line.substr(0, eq)))) path.push_back(k);
    const std::string_view value = Trim(line.substr(eq + 1));
    if (value.starts_with('{') && value.ends_with('}')) {
      for (std::string_view item : SplitTopLevel(value.substr(1, value.size() - 2))) {
        if (!Trim(item).empty()) Assign(path, Trim(item));
      }
      return;
    }
    std::string v(value);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    values_[Join(path)] = v;
  }

  std::map<std::string, std::string> values_;
  std::map<std::string, int> arrayCounts_;
};

}  // namespace orrivel::swf::test
