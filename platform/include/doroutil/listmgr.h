// ListMgr<T>: the utility library's owning list of pointers.
//
// Stand-in for the maker's list class: a vector of pointers that, when it owns its elements, deletes them
// when they are removed and when the list goes. Entries may be null. Not thread-safe.
#ifndef NAVCONFIG_DOROUTIL_LISTMGR_H
#define NAVCONFIG_DOROUTIL_LISTMGR_H

#include <cstddef>
#include <vector>

template <typename T>
class ListMgr {
 public:
  explicit ListMgr(bool owns = true, size_t growBy = 4, const char* name = "unnamed")
      : m_owns(owns), m_growBy(growBy ? growBy : 1), m_name(name) {}
  ~ListMgr() { DeleteAll(); }
  ListMgr(const ListMgr&) = delete;
  ListMgr& operator=(const ListMgr&) = delete;

  // Appends an entry; the list takes ownership when it owns its elements.
  void Add(T* item) {
    if (m_items.size() == m_items.capacity()) m_items.reserve(m_items.size() + m_growBy);
    m_items.push_back(item);
  }
  size_t Count() const { return m_items.size(); }
  bool IsEmpty() const { return m_items.empty(); }
  T* GetAt(size_t i) const { return i < m_items.size() ? m_items[i] : nullptr; }
  T* operator[](size_t i) const { return m_items[i]; }
  // Removes the entry at i (deleting it when owned); later entries move up by one.
  void RemoveAt(size_t i) {
    if (i >= m_items.size()) return;
    if (m_owns) delete m_items[i];
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
  }
  // Removes every entry, deleting those it owns.
  void DeleteAll() {
    if (m_owns)
      for (T* item : m_items) delete item;
    m_items.clear();
  }
  bool OwnsElements() const { return m_owns; }
  const char* Name() const { return m_name; }

  typename std::vector<T*>::const_iterator begin() const { return m_items.begin(); }
  typename std::vector<T*>::const_iterator end() const { return m_items.end(); }

 private:
  std::vector<T*> m_items;
  bool m_owns;
  size_t m_growBy;
  const char* m_name;
};

#endif
