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
#include "store/configmgr.h"
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
// ">> delall": made in a manager's memory, as a process changes a layer before it saves.
void Edit(CConfigMgr& mgr, const std::string& edit) {
  std::istringstream in(edit);
  std::string op, section, key, value;
  in >> op >> op >> section >> key >> std::ws;
  std::getline(in, value);
  const std::string path = op == "delall" ? "lay" : "lay\\" + section;
  const bool text = value[0] == '"';
  bool removed = false;
  if (op == "set")
    (void)mgr.StoreValue(path.c_str(), key.c_str(),
                         text ? KEYVALUE_TYPE_STRING : KEYVALUE_TYPE_INTEGER | (value[1] == 'x' ? KEYVALUE_FLAG_HEX : 0),
                         static_cast<int32_t>(std::strtoll(value.c_str(), nullptr, 0)),
                         text ? value.substr(1, value.size() - 2).c_str() : nullptr, nullptr);
  else if (op == "del") mgr.DeleteValue(path.c_str(), key.c_str(), &removed, nullptr);
  else if (op == "delbranch" || op == "delall") mgr.DeleteBranch(path.c_str(), &removed, nullptr);
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
      // Each save by a process that has just read the file.
      navconfig::StoreEnvironment alone;
      CConfigMgr mgr(alone);
      navconfig::ConfigLock lock(&mgr);
      mgr.ReadLayerText("lay", text.data(), text.size());
      for (const std::string& edit : saves[c][s].edits) Edit(mgr, edit);
      text = navconfig::EditedLayerText(text, keytree::FindRoot(mgr.Root(), "lay"), SIZE_MAX);
      EXPECT_EQ(text, saves[c][s].expected) << cases[c].first << ", save " << s + 1;
    }
  }
}

// A file the writer made stays what the writer makes, save after save, whatever is set and deleted: new keys and
// sections land where the library's order puts them, and deleted ones leave no line behind.
TEST(CfgDocument, SavesOfAWrittenFileGiveTheWritersTextOfTheEditedTree) {
  std::mt19937 rng(26);
  const char* const sections[] = {"A", "A\\B", "A\\B\\C", "a_1", "Map",
                                  "Map\\Night", "Zed", "M", "Longer_Section_Name"};
  const char* const keys[] = {"Key", "KEY", "k", "key2", "Zoom", "a", "_x", "SharedPrefixOfSixteen1",
                              "sharedprefixofsixteen"};
  const auto pick = [&](const auto& list) { return list[rng() % std::size(list)]; };
  for (int round = 0; round < 60; ++round) {
    KeyRoot* root = nullptr;
    const auto set = [&] {
      KeyRoot* section = nullptr;
      const std::string path = std::string("lay\\") + pick(sections);
      ASSERT_TRUE(keytree::FindOrCreatePath(nullptr, &root, path.c_str(), &section));
      const std::string text = std::to_string(rng() % 9) + (rng() % 4 ? "" : "\"=\" with quotes\"");
      const long types[] = {KEYVALUE_TYPE_INTEGER, KEYVALUE_TYPE_INTEGER | KEYVALUE_FLAG_HEX, KEYVALUE_TYPE_STRING};
      keytree::AddValue(nullptr, section, pick(keys), pick(types), static_cast<int32_t>(rng() % 3 ? rng() % 200 : rng()),
                        text.c_str(), false);
    };
    for (int i = 0; i < 25; ++i) set();
    std::string text = navconfig::LayerText(keytree::FindRoot(root, "lay"));
    EXPECT_EQ(Document(text).Text(), text);
    for (int edit = 0; edit < 30; ++edit) {
      const unsigned op = rng() % 20;
      const std::string path = std::string("lay\\") + pick(sections);
      if (op < 12) set();
      else if (op < 18) keytree::DeleteValue(nullptr, root, path.c_str(), pick(keys));
      else keytree::DeleteBranch(nullptr, &root, op < 19 || round % 4 ? path.c_str() : "lay");
      // Now and then a save: the next edits start from the saved text.
      if (rng() % 6 == 0 || edit == 29)
        text = navconfig::EditedLayerText(text, keytree::FindRoot(root, "lay"), SIZE_MAX);
    }
    EXPECT_EQ(text, navconfig::LayerText(keytree::FindRoot(root, "lay"))) << "round " << round;
    keytree::FreeTree(nullptr, root);
  }
}
