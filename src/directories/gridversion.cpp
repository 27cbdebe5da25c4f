// GridVersionString: parsing, formatting and comparing the version texts of map data sets.
#include <config/gridversion.h>
#include <doroutil/strutil.h>

#include <cstring>

namespace {

// Each text is read into a buffer of this size; longer texts lose their tail.
constexpr long kParseBufferSize = 256;

struct ProviderName {
  const char* text;
  EDATAPROVIDER code;
};

constexpr ProviderName kProviderNames[] = {
    {"GRD_ORO", GRD_PROVIDER_ORO},
    {"GRD_NAVTEQ", GRD_PROVIDER_NAVTEQ},
    {"GRD_NT", GRD_PROVIDER_NAVTEQ},
    {"GRD_TELEATLAS", GRD_PROVIDER_TELEATLAS},
    {"GRD_TA", GRD_PROVIDER_TELEATLAS},
    {"GRD_AND", GRD_PROVIDER_AND},
    {"GRD_MMI", GRD_PROVIDER_MMI},
};

// A revision that is not given counts as the first one.
void AppendRevision(OROustring& text, const OROustring& revision) {
  if (revision.is_null())
    text += '1';
  else
    text += revision;
}

// The same region, or a different one within the same main region.
bool SameRegion(const GridVersionString& a, const GridVersionString& b) {
  return a.Region() == b.Region() || a.Region_MainRegion().compare(b.Region_MainRegion(), false, -1) == 0;
}

}  // namespace

GridVersionString::GridVersionString() = default;

GridVersionString::GridVersionString(const char* dataText, const char* softwareText) {
  OROustring* const data[] = {&m_provider, &m_region, &m_year, &m_quarter, &m_gridRevision};
  ParseVersionString(data, 5, dataText, ".");
  OROustring* const software[] = {&m_softwareVersion};
  ParseVersionString(software, 1, softwareText, ".");
  SplitRegion();
}

GridVersionString::GridVersionString(const OROustring& dataText, const OROustring& softwareText)
    : GridVersionString(dataText.c_str(), softwareText.c_str()) {}

GridVersionString::GridVersionString(const char* productText, const char* softwareText, const char* revisionText) {
  OROustring* const product[] = {&m_provider, &m_region, &m_year, &m_quarter};
  ParseVersionString(product, 4, productText, ".");
  OROustring* const software[] = {&m_softwareVersion};
  ParseVersionString(software, 1, softwareText, ".");
  OROustring* const revisions[] = {&m_gridRevision, &m_streetRevision, &m_backboneRevision, &m_other};
  ParseVersionString(revisions, 4, revisionText, ".");
  SplitRegion();
}

GridVersionString::GridVersionString(const OROustring& productText, const OROustring& softwareText,
                                     const OROustring& revisionText)
    : GridVersionString(productText.c_str(), softwareText.c_str(), revisionText.c_str()) {}

GridVersionString::GridVersionString(const GridVersionString& other) = default;

const GridVersionString& GridVersionString::operator=(const GridVersionString& other) {
  if (this == &other) return *this;
  m_provider = other.m_provider;
  m_region = other.m_region;
  m_year = other.m_year;
  m_quarter = other.m_quarter;
  m_softwareVersion = other.m_softwareVersion;
  m_gridRevision = other.m_gridRevision;
  m_streetRevision = other.m_streetRevision;
  m_citiesRevision = other.m_citiesRevision;
  m_backboneRevision = other.m_backboneRevision;
  m_other = other.m_other;
  m_mainRegion = other.m_mainRegion;
  m_subRegion = other.m_subRegion;
  m_subRegionId = other.m_subRegionId;
  return *this;
}

GridVersionString::~GridVersionString() = default;

void GridVersionString::ParseVersionString(OROustring* const* fields, int count, const char* text,
                                           const char* separators) {
  if (!fields || count <= 0 || !text) return;
  if (!separators) separators = "";
  // A local copy rather than strtok: two threads may parse at the same time.
  char buffer[kParseBufferSize];
  CopyTruncated(buffer, kParseBufferSize, text);
  const char* p = buffer;
  for (int i = 0; i < count; ++i) {
    p += std::strspn(p, separators);
    if (!*p) break;
    size_t length = std::strcspn(p, separators);
    if (fields[i]) *fields[i] = OROustring(p, length);
    p += length;
  }
}

// The region parts come from parsing; the Region setter replaces the region text alone.
void GridVersionString::SplitRegion() {
  m_mainRegion.clear();
  m_subRegion.clear();
  m_subRegionId.clear();
  OROustring* const parts[] = {&m_mainRegion, &m_subRegion, &m_subRegionId};
  ParseVersionString(parts, 3, m_region.c_str(), "-");
}

void GridVersionString::Provider(const OROustring& value) { m_provider = value; }

void GridVersionString::Region(const OROustring& value) { m_region = value; }

void GridVersionString::Year(const OROustring& value) { m_year = value; }
void GridVersionString::Quarter(const OROustring& value) { m_quarter = value; }
void GridVersionString::SoftwareVersion(const OROustring& value) { m_softwareVersion = value; }
void GridVersionString::GridRevision(const OROustring& value) { m_gridRevision = value; }
void GridVersionString::StreetRevision(const OROustring& value) { m_streetRevision = value; }
void GridVersionString::CitiesRevision(const OROustring& value) { m_citiesRevision = value; }
void GridVersionString::BackboneRevision(const OROustring& value) { m_backboneRevision = value; }
void GridVersionString::Other(const OROustring& value) { m_other = value; }

OROustring GridVersionString::GetGridProductNameString() const {
  OROustring text(m_provider);
  text += '.';
  text += m_region;
  text += '.';
  text += m_year;
  text += '.';
  text += m_quarter;
  return text;
}

OROustring GridVersionString::GetGridDataString() const {
  OROustring text = GetGridProductNameString();
  text += '.';
  text += m_gridRevision;
  return text;
}

OROustring GridVersionString::GetVersionString(bool shortForm) const {
  OROustring text;
  AppendRevision(text, m_gridRevision);
  text += '.';
  AppendRevision(text, m_streetRevision);
  text += '.';
  AppendRevision(text, m_backboneRevision);
  if (!shortForm) {
    text += '.';
    AppendRevision(text, m_other);
  }
  return text;
}

OROustring GridVersionString::GetGridDataVersionString(bool shortForm) const {
  OROustring text = GetGridProductNameString();
  text += '.';
  text += GetVersionString(shortForm);
  return text;
}

bool GridVersionString::IsSameDataset(const GridVersionString& other, bool compareBackbone) const {
  return IsSameBaseDataset(other) && m_streetRevision == other.m_streetRevision &&
         (!compareBackbone || m_backboneRevision == other.m_backboneRevision);
}

bool GridVersionString::IsSameBaseDataset(const GridVersionString& other) const {
  return m_provider == other.m_provider && m_year == other.m_year && m_quarter == other.m_quarter &&
         m_softwareVersion == other.m_softwareVersion && m_gridRevision == other.m_gridRevision &&
         SameRegion(*this, other);
}

bool GridVersionString::IsValidGridVersion() const {
  long provider = GetProvider();
  return provider >= GRD_PROVIDER_ORO && provider <= GRD_PROVIDER_MMI && GetYear() > 0 && GetQuarter() > 0;
}

long GridVersionString::GetProvider() const {
  for (const ProviderName& name : kProviderNames) {
    // Equal lengths first, so that the whole text counts and not just the part before a stray NUL.
    if (static_cast<size_t>(m_provider.length()) == std::strlen(name.text) &&
        SpecialChar_stricmp(m_provider.c_str(), name.text) == 0)
      return name.code;
  }
  return GRD_PROVIDER_UNKNOWN;
}

long GridVersionString::GetYear() const { return m_year.to_long(10); }
long GridVersionString::GetQuarter() const { return m_quarter.to_long(10); }

long GridVersionString::GetRegionId() const {
  return m_subRegionId.is_null() ? -1 : m_subRegionId.to_long(10);
}
