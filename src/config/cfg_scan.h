// LineScanner: goes through a .cfg text line by line as the reader does and hands out its header and value
// lines one by one, so that a file of any size is read without keeping its lines. Value lines of the form
// the writer gives them are taken apart on a short path; every other line as ParseLine does.
#ifndef NAVCONFIG_SRC_CONFIG_CFG_SCAN_H
#define NAVCONFIG_SRC_CONFIG_CFG_SCAN_H

#include <cstddef>

#include "cfg_format.h"

namespace navconfig::cfg {

class LineScanner {
 public:
  LineScanner(const char* text, size_t length) : m_text(text), m_length(length) {}
  // Goes on in another text that continues this one after a line end, keeping what was counted.
  void Continue(const char* text, size_t length) {
    m_text = text;
    m_length = length;
    m_pos = 0;
  }
  // The next header or value line; false at the end of the text.
  bool Next(ParsedLine& line);
  // The lines passed so far that a file written from what was read would not hold again (see ScanLines).
  size_t Unkept() const { return m_unkept; }

 private:
  // Takes the line at m_pos apart when it is a value line of the usual form, with the outcome that ParseLine
  // would give, and moves past it; false for any other line.
  bool TakeUsualValueLine(ParsedLine& line);

  const char* m_text;
  size_t m_length;
  size_t m_pos = 0;
  size_t m_unkept = 0;
  bool m_sawHeader = false;
};

}  // namespace navconfig::cfg

#endif
