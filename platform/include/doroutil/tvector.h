// TVector<T>: the utility library's growable array of values, thin over std::vector.
#ifndef NAVCONFIG_DOROUTIL_TVECTOR_H
#define NAVCONFIG_DOROUTIL_TVECTOR_H

#include <cstddef>
#include <vector>

template <typename T>
class TVector {
 public:
  void Add(const T& value) { m_items.push_back(value); }
  size_t Count() const { return m_items.size(); }
  bool IsEmpty() const { return m_items.empty(); }
  void Clear() { m_items.clear(); }
  T& operator[](size_t i) { return m_items[i]; }
  const T& operator[](size_t i) const { return m_items[i]; }
  T* Data() { return m_items.data(); }
  const T* Data() const { return m_items.data(); }
  void Reverse() { m_items.assign(m_items.rbegin(), m_items.rend()); }

  typename std::vector<T>::iterator begin() { return m_items.begin(); }
  typename std::vector<T>::iterator end() { return m_items.end(); }
  typename std::vector<T>::const_iterator begin() const { return m_items.begin(); }
  typename std::vector<T>::const_iterator end() const { return m_items.end(); }

 private:
  std::vector<T> m_items;
};

#endif
