// LayerJournal: recording a layer's changes, one entry per key, and making them again in another forest.
#include "store/layer_journal.h"

#include <doroutil/strutil.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "store/forest.h"
#include "store/keytree.h"
#include "store/tree_index.h"

namespace navconfig {

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
  for (const char c : edit.key) subject += FoldAscii(c);
  return subject;
}

uint64_t LayerJournal::Add(LayerEdit edit) {
  // Everything that can fail to allocate comes first, so that a failure leaves the journal as it was.
  std::list<Entry> fresh;
  fresh.push_back(Entry{Subject(edit), std::move(edit)});
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

void LayerJournal::ReplayOn(Forest& forest) const {
  for (const Entry& entry : m_edits) {
    const LayerEdit& edit = entry.edit;
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
        keytree::DeleteBranch(&forest, forest.RootSlot(), edit.path.c_str());
        break;
    }
  }
}

}  // namespace navconfig
