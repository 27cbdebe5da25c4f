// A small JSON writer for the tool's --json output: objects, arrays, strings, integers, booleans and null,
// indented by two spaces (or on one line). Strings are escaped as JSON requires; bytes that are not valid UTF-8 (a .cfg file
// may hold any byte) become U+FFFD, so that the output is always valid JSON.
#ifndef NAVCONFIG_TOOLS_JSON_H
#define NAVCONFIG_TOOLS_JSON_H

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace navtool {

// The text as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view text);

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : m_out(out) {}
  // oneLine: the whole value on one line (members after ", "), for output read line by line.
  JsonWriter(std::ostream& out, bool oneLine) : m_out(out), m_oneLine(oneLine) {}
  // Ends the output with a line feed.
  ~JsonWriter();
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The name of the next member of an object.
  JsonWriter& Key(std::string_view name);
  JsonWriter& String(std::string_view text);
  JsonWriter& Int(long long value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // A member in one call.
  JsonWriter& Field(std::string_view name, std::string_view text) { return Key(name).String(text); }
  JsonWriter& Field(std::string_view name, const char* text) { return Key(name).String(text ? text : ""); }
  JsonWriter& Field(std::string_view name, const std::string& text) { return Key(name).String(text); }
  JsonWriter& Field(std::string_view name, long long value) { return Key(name).Int(value); }
  JsonWriter& Field(std::string_view name, long value) { return Key(name).Int(value); }
  JsonWriter& Field(std::string_view name, int value) { return Key(name).Int(value); }
  JsonWriter& Field(std::string_view name, bool value) { return Key(name).Bool(value); }

 private:
  void BeforeValue();
  void NewLine();
  void End(char close);

  std::ostream& m_out;
  bool m_oneLine = false;
  std::vector<bool> m_hasMembers;  // per open container: whether it holds a member yet
  bool m_afterKey = false;
  bool m_wrote = false;
};

}  // namespace navtool

#endif
