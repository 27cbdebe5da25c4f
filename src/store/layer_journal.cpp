// LayerJournal: recording a layer's changes, one entry per key, and making them again in another forest.
#include "store/layer_journal.h"

#include <doroutil/strutil.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "common/folded_names.h"
#include "store/forest.h"
#include "store/keytree.h"
#include "store/tree_index.h"

namespace navconfig {

namespace {

// A value as a note keeps it: its type and what it holds; empty for no value.
std::string ValueState(const KeyValue* value) {
  if (!value) return std::string();
  std::string state = std::to_string(value->type) + ':';
  if ((value->type & 15u) == KEYVALUE_TYPE_INTEGER) state += std::to_string(value->intValue);
  else if (value->strValue) state += value->strValue;
  return state;
}

// Each value below a section (its folded path below it, its folded key and its state, NUL separated), with where
// it is (the section's full path and the key) when at is not null.
void StatesBelow(const KeyRoot* section, const std::string& below, const std::string& path,
                 std::vector<std::string>& states, std::vector<std::pair<std::string, std::string>>* at) {
  for (const KeyValue* v = section->values; v; v = v->next) {
    states.push_back(below + '\0' + FoldedText(v->name) + '\0' + ValueState(v));
    if (at) at->emplace_back(path, v->name);
  }
  for (const KeyRoot* c = section->children; c; c = c->next) {
    const char* name = c->name ? c->name : "";
    StatesBelow(c, below + '\\' + FoldedText(name), path + '\\' + name, states, at);
  }
}

}  // namespace

LayerEdit SetEdit(const char* path, const char* key, uint32_t type, long intValue, const char* strValue,
                  bool isDefault) {
  LayerEdit e;
  e.path = path;
  e.key = key;
  e.type = type;
  e.intValue = static_cast<int32_t>(static_cast<uint32_t>(intValue));
  e.strValue = strValue ? strValue : "";
  e.isDefault = isDefault;
  return e;
}

LayerEdit DeleteValueEdit(const char* path, const char* key) {
  LayerEdit e;
  e.kind = LayerEdit::Kind::DeleteValue;
  e.path = path;
  e.key = key;
  return e;
}

LayerEdit DeleteBranchEdit(const char* path) {
  LayerEdit e;
  e.kind = LayerEdit::Kind::DeleteBranch;
  e.path = path;
  return e;
}

std::string LayerJournal::Subject(const LayerEdit& edit) {
  // A branch is its folded path; a value its folded path, a NUL byte and its folded key.
  TreeIndex::PathKey path;
  TreeIndex::MakePathKey(edit.path.c_str(), path);
  std::string subject(path.folded, path.length);
  if (edit.kind == LayerEdit::Kind::DeleteBranch) return subject;
  subject += '\0';
  subject += FoldedText(edit.key);
  return subject;
}

uint64_t LayerJournal::Add(LayerEdit edit) {
  // Everything that can fail to allocate comes first, so that a failure leaves the journal as it was.
  std::list<Entry> fresh;
  fresh.push_back(Entry{Subject(edit), std::move(edit), false, {}});
  const std::string_view subject = fresh.front().subject;
  auto [slot, inserted] = m_bySubject.try_emplace(subject);
  if (fresh.front().edit.kind == LayerEdit::Kind::DeleteBranch) {
    // Every entry below the branch is superseded.
    for (auto it = m_bySubject.begin(); it != m_bySubject.end();) {
      const std::string_view other = it->first;
      const size_t pathEnd = std::min(other.find('\0'), other.size());
      const bool below = it != slot && pathEnd >= subject.size() && other.substr(0, subject.size()) == subject &&
                         (pathEnd == subject.size() || other[subject.size()] == '\\');
      if (!below) {
        ++it;
        continue;
      }
      m_edits.erase(it->second);
      it = m_bySubject.erase(it);
    }
  }
  fresh.front().edit.number = ++m_last;
  if (inserted) {
    // The key views the entry's own text, which stays where it is when the entry moves into the list.
    m_edits.splice(m_edits.end(), fresh);
    slot->second = std::prev(m_edits.end());
  } else {
    // The earlier entry of the same subject goes to the end and takes the new change.
    m_edits.splice(m_edits.end(), m_edits, slot->second);
    slot->second->edit = std::move(fresh.front().edit);
    // A note of the file is older than the change that takes the entry now.
    slot->second->noted = false;
    slot->second->seen.clear();
  }
  return m_last;
}

void LayerJournal::DropThrough(uint64_t number) {
  while (!m_edits.empty() && m_edits.front().edit.number <= number) {
    m_bySubject.erase(m_edits.front().subject);
    m_edits.pop_front();
  }
  // The table's buckets are given back too.
  if (m_edits.empty()) decltype(m_bySubject)().swap(m_bySubject);
}

std::vector<std::string> LayerJournal::FileState(const Forest& file, const LayerEdit& edit) {
  const KeyRoot* section = keytree::FindRoot(file.Root(), edit.path.c_str());
  if (edit.kind != LayerEdit::Kind::DeleteBranch)
    return {ValueState(section ? keytree::GetValue(section, edit.key.c_str()) : nullptr)};
  std::vector<std::string> states;
  if (section) StatesBelow(section, std::string(), edit.path, states, nullptr);
  std::sort(states.begin(), states.end());
  return states;
}

void LayerJournal::NoteFileState(const Forest& file, uint64_t through) {
  for (Entry& entry : m_edits) {
    if (entry.edit.number > through) break;
    if (entry.noted) continue;
    entry.seen = FileState(file, entry.edit);
    entry.noted = true;
  }
}

void LayerJournal::ForgetFileState() {
  for (Entry& entry : m_edits) {
    entry.noted = false;
    entry.seen.clear();
  }
}

void LayerJournal::ReplayOn(Forest& forest) {
  // What gives way is decided on the file's state, before any change is made again. A branch deletion that
  // gives way in part deletes only the values below it that the file holds as noted.
  struct Step {
    const LayerEdit* edit;
    bool inPart = false;
    std::vector<std::pair<std::string, std::string>> unchanged;  // section path and key
  };
  std::vector<Step> steps;
  for (auto it = m_edits.begin(); it != m_edits.end();) {
    Step step{&it->edit, false, {}};
    if (it->noted && it->edit.kind != LayerEdit::Kind::DeleteBranch && FileState(forest, it->edit) != it->seen) {
      m_bySubject.erase(it->subject);
      it = m_edits.erase(it);
      continue;
    }
    if (it->noted && it->edit.kind == LayerEdit::Kind::DeleteBranch) {
      if (const KeyRoot* branch = keytree::FindRoot(forest.Root(), it->edit.path.c_str())) {
        std::vector<std::string> states;
        std::vector<std::pair<std::string, std::string>> at;
        StatesBelow(branch, std::string(), it->edit.path, states, &at);
        for (size_t i = 0; i < states.size(); ++i) {
          if (std::binary_search(it->seen.begin(), it->seen.end(), states[i])) step.unchanged.push_back(at[i]);
          else step.inPart = true;
        }
      }
    }
    steps.push_back(std::move(step));
    ++it;
  }
  for (const Step& step : steps) {
    const LayerEdit& edit = *step.edit;
    switch (edit.kind) {
      case LayerEdit::Kind::Set: {
        KeyRoot* section = nullptr;
        if (keytree::FindOrCreatePath(&forest, forest.RootSlot(), edit.path.c_str(), &section) && section)
          keytree::AddValue(&forest, section, edit.key.c_str(), edit.type, edit.intValue, edit.strValue.c_str(),
                            edit.isDefault);
        break;
      }
      case LayerEdit::Kind::DeleteValue:
        keytree::DeleteValue(&forest, forest.Root(), edit.path.c_str(), edit.key.c_str());
        break;
      case LayerEdit::Kind::DeleteBranch:
        if (!step.inPart) {
          keytree::DeleteBranch(&forest, forest.RootSlot(), edit.path.c_str());
          break;
        }
        // Sections stay, as they do when another process deletes their values.
        for (const auto& [path, key] : step.unchanged)
          keytree::DeleteValue(&forest, forest.Root(), path.c_str(), key.c_str());
        break;
    }
  }
}

}  // namespace navconfig
