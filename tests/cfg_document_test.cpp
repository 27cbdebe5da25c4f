// The document of a layer file: hand-written files changed save after save (the table in
// data/cfg_documents.txt), and files the writer made, changed at random, against the writer's text of the same
// changed tree.
#include <config/keytree.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cfg/document.h"
#include "store/keytree.h"
#include "store/layer_text.h"

using navconfig::cfg::Document;
namespace keytree = navconfig::keytree;

namespace {

// A text line of the table: {CR}, {NUL} and {BOM} stand for their bytes, and {NOEOL} at the end for no line end.
std::string TextLine(std::string line) {
  const std::pair<std::string, std::string> marks[] = {
      {"{CR}", "\r"}, {"{NUL}", std::string(1, '\0')}, {"{BOM}", "\xEF\xBB\xBF"}, {"{NOEOL}", ""}};
  const bool noEnd = line.size() >= 7 && line.compare(line.size() - 7, 7, "{NOEOL}") == 0;
  for (const auto& [mark, bytes] : marks)
    for (size_t at; (at = line.find(mark)) != std::string::npos;) line.replace(at, mark.size(), bytes);
  return noEnd ? line : line + "\n";
}

// ">> set SECTION KEY VALUE" (a number, or a string in quotes), ">> del SECTION KEY", ">> delbranch SECTION",
// ">> delall".
void Edit(Document& document, const std::string& edit) {
  std::istringstream in(edit);
  std::string op, section, key, value;
  in >> op >> op >> section >> key >> std::ws;
  std::getline(in, value);
  if (op == "set" && value[0] == '"') document.SetString(section, key, value.substr(1, value.size() - 2));
  else if (op == "set") document.SetInteger(section, key, static_cast<int32_t>(std::strtoll(value.c_str(), nullptr, 0)), value[1] == 'x');
  else if (op == "del") document.DeleteValue(section, key);
  else if (op == "delbranch") document.DeleteBranch(section);
  else if (op == "delall") document.DeleteAll();
  else ADD_FAILURE() << "unknown edit " << edit;
}

}  // namespace

// Each case: "### title", the file's lines, then saves: lines of edits and, after "==", the lines expected.
TEST(CfgDocument, HandWrittenFilesKeepEveryLineThatNoEditTouches) {
  std::ifstream table(std::string(std::getenv("NAVCONFIG_TEST_DATA")) + "/cfg_documents.txt", std::ios::binary);
  ASSERT_TRUE(table) << "no table";
  struct Save {
    std::vector<std::string> edits;
    std::string expected;
  };
  std::vector<std::pair<std::string, std::string>> cases;  // title, file
  std::vector<std::vector<Save>> saves;
  bool inExpected = false;
  for (std::string line; std::getline(table, line);) {
    if (line.rfind("###", 0) == 0) {
      cases.push_back({line, ""});
      saves.emplace_back();
      inExpected = false;
    } else if (line.rfind(">>", 0) == 0) {
      if (inExpected || saves.back().empty()) saves.back().emplace_back();
      saves.back().back().edits.push_back(line);
      inExpected = false;
    } else if (line == "==") {
      inExpected = true;
    } else {
      (inExpected ? saves.back().back().expected : cases.back().second) += TextLine(line);
    }
  }
  ASSERT_GE(cases.size(), 8u);
  for (size_t c = 0; c < cases.size(); ++c) {
    std::string text = cases[c].second;
    for (size_t s = 0; s < saves[c].size(); ++s) {
      Document document(text);
      for (const std::string& edit : saves[c][s].edits) Edit(document, edit);
      text = document.Text();
      EXPECT_EQ(text, saves[c][s].expected) << cases[c].first << ", save " << s + 1;
    }
  }
}

// A file the writer made stays what the writer makes, whatever is set and deleted: new keys and sections land
// where the library's order puts them, and deleted ones leave no line behind.
TEST(CfgDocument, EditsOfAWrittenFileGiveTheWritersTextOfTheEditedTree) {
  std::mt19937 rng(26);
  const char* const sections[] = {"A", "A\\B", "A\\B\\C", "a_1", "Map", "Map\\Night", "Zed", "M", "Longer_Section_Name"};
  const char* const keys[] = {"Key", "KEY", "k", "key2", "Zoom", "a", "_x", "SharedPrefixOfSixteen1", "sharedprefixofsixteen"};
  const auto pick = [&](const auto& list) { return list[rng() % std::size(list)]; };
  for (int round = 0; round < 60; ++round) {
    KeyRoot* root = nullptr;
    const auto set = [&](Document* document) {
      const std::string path = std::string("lay\\") + pick(sections);
      KeyRoot* section = nullptr;
      ASSERT_TRUE(keytree::FindOrCreatePath(nullptr, &root, path.c_str(), &section));
      const char* key = pick(keys);
      const int32_t number = static_cast<int32_t>(rng() % 3 ? rng() % 200 : rng());
      const unsigned kind = rng() % 3;
      std::string text = std::to_string(rng() % 9);
      text.insert(0, 1, 't');
      if (rng() % 4 == 0) text += "\"=\" with quotes\"";
      keytree::AddValue(nullptr, section, key, kind == 2 ? KEYVALUE_TYPE_STRING : KEYVALUE_TYPE_INTEGER | (kind ? KEYVALUE_FLAG_HEX : 0),
                        number, text.c_str(), false);
      if (!document) return;
      key = keytree::GetValue(section, key)->name;  // the spelling the tree keeps
      if (kind == 2) document->SetString(path.substr(4), key, text);
      else document->SetInteger(path.substr(4), key, number, kind == 1);
    };
    for (int i = 0; i < 25; ++i) set(nullptr);
    const std::string written = navconfig::LayerText(keytree::FindRoot(root, "lay"));
    Document document(written);
    EXPECT_EQ(document.Text(), written);
    for (int edit = 0; edit < 30; ++edit) {
      const unsigned op = rng() % 20;
      const std::string path = pick(sections);
      if (op < 12) {
        set(&document);
      } else if (op < 18) {
        const char* key = pick(keys);
        keytree::DeleteValue(nullptr, root, ("lay\\" + path).c_str(), key);
        document.DeleteValue(path, key);
      } else if (op < 19 || round % 4) {
        keytree::DeleteBranch(nullptr, &root, ("lay\\" + path).c_str());
        document.DeleteBranch(path);
      } else {
        keytree::DeleteBranch(nullptr, &root, "lay");
        document.DeleteAll();
      }
      // Now and then a save: the next edits start from the saved text.
      if (rng() % 6 == 0) document = Document(document.Text());
    }
    const std::string edited = navconfig::LayerText(keytree::FindRoot(root, "lay"));
    ASSERT_EQ(document.Text(), edited) << "round " << round;
    // The same text from the first one and the edited tree alone, as a save makes it.
    EXPECT_EQ(navconfig::EditedLayerText(written, keytree::FindRoot(root, "lay"), SIZE_MAX), edited) << round;
    keytree::FreeTree(nullptr, root);
  }
}
