// Shell completion: the candidates for the word under the cursor, worked out from the command line so far.
//
// The bash completion script (navconfig.bash) hands the hidden command `navconfig __complete -- LINE BREAKS`
// the command line up to the cursor and bash's COMP_WORDBREAKS. The tool splits LINE as the shell does
// (quotes, backslashes), walks its own command and option definitions, and prints on standard output:
//   words           then one candidate per line, quoted for the shell and cut to the part that bash replaces
//                   (the text after the last word-break character, or after an open quote);
//   dirs | files    bash should complete directory or file names itself;
// or nothing when it has nothing to offer. Commands and options come from the parser's own definitions,
// sections and keys from the built-in catalogue; nothing is read or written in the configuration folders.
#ifndef NAVCONFIG_TOOLS_COMPLETE_H
#define NAVCONFIG_TOOLS_COMPLETE_H

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace navtool {

int CmdComplete(const CLI::App& app, const std::string& line, const std::string& wordBreaks, std::ostream& out);

}  // namespace navtool

#endif
