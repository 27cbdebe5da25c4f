/* GridVersionString: the version text of a map data set, taken apart and put together again.
 *
 * A data set is named by its provider, its region, the release year and quarter, the software version it
 * needs and the revisions of its grid, street, backbone and other parts, for example the product text
 * "GRD_NAVTEQ.EU-DE-12.2011.3" with the revisions "7". The class holds these as thirteen texts: the ten
 * parts and the three "-" parts of the region (main region, sub-region, sub-region id, the last being the
 * numeric map identifier). Fields that a text does not give stay null (the empty text).
 *
 * Parsing splits a text at its separators; runs of separators count as one and no field is ever set to an
 * empty token. At most 255 bytes of each text are read. Nothing fails and nothing is logged: malformed
 * texts leave fields null, numbers that cannot be read give 0, and IsValidGridVersion is the test to make
 * before trusting an object.
 *
 * An object is a plain value used by one thread at a time. Parsing keeps no state shared between objects,
 * so different objects may be parsed on different threads at once. */
#ifndef NAVCONFIG_CONFIG_GRIDVERSION_H
#define NAVCONFIG_CONFIG_GRIDVERSION_H

#include <config/export.h>
#include <doroutil/orostring.h>

/* Data providers as GetProvider reports them. Codes 4, 6 and 7 are valid providers that no provider text
 * names. */
enum EDATAPROVIDER : int {
  GRD_PROVIDER_UNKNOWN = 0,
  GRD_PROVIDER_ORO = 1,        /* "GRD_ORO" */
  GRD_PROVIDER_NAVTEQ = 2,     /* "GRD_NAVTEQ", "GRD_NT" */
  GRD_PROVIDER_TELEATLAS = 3,  /* "GRD_TELEATLAS", "GRD_TA" */
  GRD_PROVIDER_RESERVED4 = 4,
  GRD_PROVIDER_AND = 5,        /* "GRD_AND" */
  GRD_PROVIDER_RESERVED6 = 6,
  GRD_PROVIDER_RESERVED7 = 7,
  GRD_PROVIDER_MMI = 8         /* "GRD_MMI" */
};

class NAVCONFIG_API GridVersionString {
 public:
  /* Every field null. */
  GridVersionString();
  /* dataText: Provider, Region, Year, Quarter and GridRevision joined by "."; softwareText: SoftwareVersion,
   * of which only the part before the first "." is kept. A null pointer reads as the empty text. */
  GridVersionString(const char* dataText, const char* softwareText);
  GridVersionString(const OROustring& dataText, const OROustring& softwareText);
  /* productText: Provider, Region, Year and Quarter joined by "."; softwareText as above; revisionText:
   * GridRevision, StreetRevision, BackboneRevision and Other joined by ".". CitiesRevision stays null. */
  GridVersionString(const char* productText, const char* softwareText, const char* revisionText);
  GridVersionString(const OROustring& productText, const OROustring& softwareText,
                    const OROustring& revisionText);
  GridVersionString(const GridVersionString& other);
  const GridVersionString& operator=(const GridVersionString& other);
  ~GridVersionString();

  const OROustring& Provider() const { return m_provider; }
  const OROustring& Region() const { return m_region; }
  const OROustring& Year() const { return m_year; }
  const OROustring& Quarter() const { return m_quarter; }
  const OROustring& SoftwareVersion() const { return m_softwareVersion; }
  const OROustring& GridRevision() const { return m_gridRevision; }
  const OROustring& StreetRevision() const { return m_streetRevision; }
  const OROustring& CitiesRevision() const { return m_citiesRevision; }
  const OROustring& BackboneRevision() const { return m_backboneRevision; }
  const OROustring& Other() const { return m_other; }
  const OROustring& Region_MainRegion() const { return m_mainRegion; }
  const OROustring& Region_SubRegion() const { return m_subRegion; }
  const OROustring& Region_SubRegionId() const { return m_subRegionId; }
  /* The main region, as Region_MainRegion. */
  const OROustring& GetFullRegion() const { return m_mainRegion; }

  /* The setters store the text as given, separators included. */
  void Provider(const OROustring& value);
  /* Also takes the new region apart again, so that the region parts and GetRegionId describe it. */
  void Region(const OROustring& value);
  void Year(const OROustring& value);
  void Quarter(const OROustring& value);
  void SoftwareVersion(const OROustring& value);
  void GridRevision(const OROustring& value);
  void StreetRevision(const OROustring& value);
  void CitiesRevision(const OROustring& value);
  void BackboneRevision(const OROustring& value);
  void Other(const OROustring& value);

  /* Provider.Region.Year.Quarter */
  OROustring GetGridProductNameString() const;
  /* Provider.Region.Year.Quarter.GridRevision */
  OROustring GetGridDataString() const;
  /* Grid.Street.Backbone, then .Other unless shortForm; a null revision is written as "1". */
  OROustring GetVersionString(bool shortForm) const;
  /* Provider.Region.Year.Quarter. followed by GetVersionString(shortForm). */
  OROustring GetGridDataVersionString(bool shortForm) const;

  /* Same provider, year, quarter, software version, grid and street revisions (compared exactly), the same
   * backbone revision when compareBackbone, and the same region or at least the same main region. */
  bool IsSameDataset(const GridVersionString& other, bool compareBackbone) const;
  /* As IsSameDataset without the street and backbone revisions. */
  bool IsSameBaseDataset(const GridVersionString& other) const;
  /* A known provider code (1 to 8) and a year and quarter that read as numbers above 0. */
  bool IsValidGridVersion() const;

  /* An EDATAPROVIDER code; the provider text is compared without regard to ASCII case. */
  long GetProvider() const;
  /* Year and quarter as decimal numbers, 0 when they are not numbers. */
  long GetYear() const;
  long GetQuarter() const;
  /* The sub-region id as a decimal number (0 when it is not one), -1 when the region has no third part. */
  long GetRegionId() const;

 private:
  /* Assigns the tokens of text, split at any of the separator bytes, to fields[0..count) in order; fields
   * without a token keep their value. Reads at most 255 bytes of text; a null text gives no token. */
  static void ParseVersionString(OROustring* const* fields, int count, const char* text, const char* separators);
  void SplitRegion();

  OROustring m_provider;
  OROustring m_region;
  OROustring m_year;
  OROustring m_quarter;
  OROustring m_softwareVersion;
  OROustring m_gridRevision;
  OROustring m_streetRevision;
  OROustring m_citiesRevision;
  OROustring m_backboneRevision;
  OROustring m_other;
  OROustring m_mainRegion;
  OROustring m_subRegion;
  OROustring m_subRegionId;
};

#endif
