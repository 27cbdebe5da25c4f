// The hidden command __complete: candidates for bash's Tab, from the parser's definitions and the catalogue.
#include "complete.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "tool.h"

namespace navtool {

namespace {

// The command line split as the shell splits it: the finished words, and the word under the cursor.
struct Line {
  std::vector<std::string> words;  // dequoted, the command's own name first
  std::string current;             // the word under the cursor, dequoted
  size_t replaceFrom = 0;          // bash replaces current from here on (what precedes stays as typed)
  char quote = 0;                  // the quote left open in the current word, or 0
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Follows the shell's quoting: backslash, '...' and "..." (where a backslash escapes only $ ` " \ and
// newline). bash completes the text after the last word-break character that is not quoted, or after a quote
// that is still open; the same point is found here so that the candidates can be cut to fit it.
Line Split(std::string_view text, std::string_view wordBreaks) {
  Line line;
  bool inWord = false, escape = false;
  size_t breakAt = 0, quoteAt = 0;
  for (char c : text) {
    if (escape) {
      escape = false;
      if (line.quote == '"' && std::string_view("$`\"\\\n").find(c) == std::string_view::npos) line.current += '\\';
      line.current += c;
      continue;
    }
    if (line.quote == '\'') {
      if (c == '\'') line.quote = 0;
      else line.current += c;
      continue;
    }
    if (line.quote == '"') {
      if (c == '"') line.quote = 0;
      else if (c == '\\') escape = true;
      else line.current += c;
      continue;
    }
    if (IsBlank(c)) {
      if (inWord) line.words.push_back(std::move(line.current));
      line.current.clear();
      inWord = false;
      breakAt = 0;
      continue;
    }
    inWord = true;
    if (c == '\\') {
      escape = true;
    } else if (c == '\'' || c == '"') {
      line.quote = c;
      quoteAt = line.current.size();
    } else {
      line.current += c;
      if (wordBreaks.find(c) != std::string_view::npos) breakAt = line.current.size();
    }
  }
  line.replaceFrom = line.quote ? quoteAt : breakAt;
  return line;
}

// Text as it must be typed in the quoting that is open: within '...' as it is (a quote cannot be written
// there: nullopt), within "..." with $ ` " \ escaped, and otherwise with the shell's special characters
// escaped by a backslash.
std::optional<std::string> Quoted(std::string_view text, char quote) {
  std::string out;
  for (char c : text) {
    if (quote == '\'') {
      if (c == '\'') return std::nullopt;
    } else if (quote == '"') {
      if (std::string_view("$`\"\\").find(c) != std::string_view::npos) out += '\\';
    } else if (std::string_view(" \t\n\\'\"$`!&;|<>()[]{}*?#~").find(c) != std::string_view::npos) {
      out += '\\';
    }
    out += c;
  }
  return out;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The candidates that begin with typed. Names compare without regard to case, so "ima" finds "Image"; but
// bash puts the candidates' common beginning in place of what was typed, so candidates that differ from it
// in case are offered only when that common beginning keeps everything that was typed.
std::vector<std::string> Matching(const std::vector<std::string>& candidates, const std::string& typed) {
  std::vector<std::string> exact, folded;
  for (const std::string& c : candidates) {
    if (StartsWith(c, typed)) exact.push_back(c);
    else if (StartsWith(Folded(c), Folded(typed))) folded.push_back(c);
  }
  if (!exact.empty() || folded.empty()) return exact;
  size_t common = folded.front().size();
  for (const std::string& c : folded) {
    size_t n = 0;
    while (n < common && n < c.size() && c[n] == folded.front()[n]) ++n;
    common = n;
  }
  return common >= typed.size() ? folded : std::vector<std::string>{};
}

// ---- What the parser knows ----

bool Hidden(const CLI::Option* option) { return option->get_group().empty(); }
bool TakesValue(const CLI::Option* option) { return option->get_items_expected_max() > 0; }

// The option --name of app, or of the commands above it (their options are accepted after a command too).
const CLI::Option* FindOption(const CLI::App* app, std::string_view name) {
  for (; app; app = app->get_parent()) {
    for (const CLI::Option* option : app->get_options()) {
      const auto& names = option->get_lnames();
      if (std::find(names.begin(), names.end(), name) != names.end()) return option;
    }
  }
  return nullptr;
}

// The options accepted after the command app (its own, then those of the commands above it), each once.
std::vector<std::string> OptionNames(const CLI::App* app) {
  std::vector<std::string> out;
  for (; app; app = app->get_parent())
    for (const CLI::Option* option : app->get_options())
      if (!Hidden(option) && !option->get_positional())
        for (const std::string& name : option->get_lnames())
          if (std::find(out.begin(), out.end(), "--" + name) == out.end()) out.push_back("--" + name);
  return out;
}

std::vector<std::string> CommandNames(const CLI::App& app) {
  std::vector<std::string> out;
  for (const CLI::App* command : app.get_subcommands([](const CLI::App* c) { return !c->get_group().empty(); }))
    out.push_back(command->get_name());
  return out;
}

// The positional argument that the word number index (from 0) after the command fills, or null.
const CLI::Option* PositionalAt(const CLI::App* command, size_t index) {
  for (const CLI::Option* option : command->get_options()) {
    if (!option->get_positional() || option->nonpositional()) continue;
    const size_t takes = static_cast<size_t>(std::max(option->get_items_expected_max(), 1));
    if (index < takes) return option;
    index -= takes;
  }
  return nullptr;
}

// ---- The catalogue ----

std::vector<std::string> Sections() {
  std::vector<std::string> out;
  for (const Default& d : AllDefaults())
    if (std::none_of(out.begin(), out.end(), [&](const std::string& s) { return EqualFolded(s, d.section); }))
      out.push_back(d.section);
  return out;
}

// The keys of a section argument: a plain name, or a full path whose last part names the section.
std::vector<std::string> Keys(const std::string& sectionArgument) {
  const std::string section = sectionArgument.substr(sectionArgument.rfind('\\') + 1);
  std::vector<std::string> out;
  for (const EffectiveDefault& e : EffectiveDefaults())
    if (EqualFolded(e.entry->section, section)) out.push_back(e.entry->name);
  return out;
}

// ---- Answers ----

enum class Kind { None, Words, Dirs, Files };

struct Answer {
  Kind kind = Kind::None;
  std::vector<std::string> words;  // whole words, dequoted
};

Answer Words(std::vector<std::string> words) { return {Kind::Words, std::move(words)}; }

// The values an option takes: directories for a DIR, or the members of a set that the help shows as
// TYPE:{a,b,c}.
Answer OptionValues(const CLI::Option* option) {
  const std::string type = option->get_type_name();
  if (StartsWith(type, "DIR")) return {Kind::Dirs, {}};
  const size_t open = type.find('{'), close = type.rfind('}');
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  std::vector<std::string> members;
  std::string_view list = std::string_view(type).substr(open + 1, close - open - 1);
  while (!list.empty()) {
    const size_t comma = std::min(list.find(','), list.size());
    members.emplace_back(list.substr(0, comma));
    list.remove_prefix(std::min(comma + 1, list.size()));
  }
  return Words(std::move(members));
}

// The candidates for a positional argument, chosen by the name that the help gives it.
Answer PositionalValues(const CLI::App* command, const std::vector<std::string>& positionals,
                        const std::string& current) {
  const CLI::Option* option = PositionalAt(command, positionals.size());
  if (!option) return {};
  const std::string& name = option->get_single_name();
  if (name == "SECTION") {
    // A full path keeps its layer as typed and ends in a section of the catalogue.
    const std::string layer = current.substr(0, current.rfind('\\') + 1);
    std::vector<std::string> sections = Sections();
    for (std::string& section : sections) section.insert(0, layer);
    return Words(std::move(sections));
  }
  if (name == "KEY") {
    for (size_t i = 0; i < positionals.size(); ++i)
      if (PositionalAt(command, i)->get_single_name() == "SECTION") return Words(Keys(positionals[i]));
    return {};
  }
  if (name == "PATH") return {Kind::Dirs, {}};
  if (name == "FILE") return {Kind::Files, {}};
  if (name == "KEYPATH") return Words({"HKCU\\", "HKLM\\", "HKCR\\"});
  return OptionValues(option);  // a positional of a set of words (registry's ACTION), else nothing
}

Answer Candidates(const CLI::App& app, const Line& line) {
  const CLI::App* command = &app;
  const CLI::Option* pending = nullptr;  // an option whose value comes next
  bool optionsEnded = false;
  std::vector<std::string> positionals;
  for (size_t i = 1; i < line.words.size(); ++i) {
    const std::string& word = line.words[i];
    if (pending) {
      pending = nullptr;
    } else if (!optionsEnded && word == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && StartsWith(word, "--")) {
      const size_t equals = word.find('=');
      const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const CLI::Option* option = FindOption(command, name);
      if (option && TakesValue(option) && equals == std::string::npos) pending = option;
    } else if (!optionsEnded && word.size() > 1 && word[0] == '-') {
      // -h, the one short option, takes no value.
    } else if (command == &app) {
      const std::vector<std::string> names = CommandNames(app);
      if (std::find(names.begin(), names.end(), word) == names.end()) return {};
      command = app.get_subcommand(word);
    } else {
      positionals.push_back(word);
    }
  }

  const std::string& current = line.current;
  if (pending) return OptionValues(pending);
  if (!optionsEnded && StartsWith(current, "--") && current.find('=') != std::string::npos) {
    const std::string name = current.substr(0, current.find('='));
    const CLI::Option* option = FindOption(command, name.substr(2));
    if (!option || !TakesValue(option)) return {};
    Answer values = OptionValues(option);
    for (std::string& value : values.words) value = name + '=' + value;
    return values;
  }
  if (!optionsEnded && StartsWith(current, "-")) return Words(OptionNames(command));
  if (command == &app) return Words(CommandNames(app));
  return PositionalValues(command, positionals, current);
}

}  // namespace

int CmdComplete(const CLI::App& app, const std::string& text, const std::string& wordBreaks, std::ostream& out) {
  const Line line = Split(text, wordBreaks);
  Answer answer = Candidates(app, line);
  if (answer.kind == Kind::Dirs) out << "dirs\n";
  if (answer.kind == Kind::Files) out << "files\n";
  if (answer.kind != Kind::Words) return kExitOk;

  out << "words\n";
  // bash keeps what precedes the point it replaces from; only the rest is printed.
  for (const std::string& word : Matching(answer.words, line.current)) {
    if (word.size() < line.replaceFrom) continue;
    if (auto quoted = Quoted(std::string_view(word).substr(line.replaceFrom), line.quote)) out << *quoted << '\n';
  }
  return kExitOk;
}

}  // namespace navtool
