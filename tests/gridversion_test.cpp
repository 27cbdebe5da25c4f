// GridVersionString: parsing the version texts of map data sets, formatting them again and comparing them.
#include <config/gridversion.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Fields = std::vector<std::string>;

// The thirteen fields in their order: provider, region, year, quarter, software, grid, street, cities,
// backbone, other, main region, sub-region, sub-region id.
Fields FieldsOf(const GridVersionString& v) {
  return {v.Provider().str(), v.Region().str(), v.Year().str(), v.Quarter().str(), v.SoftwareVersion().str(),
          v.GridRevision().str(), v.StreetRevision().str(), v.CitiesRevision().str(), v.BackboneRevision().str(),
          v.Other().str(), v.Region_MainRegion().str(), v.Region_SubRegion().str(), v.Region_SubRegionId().str()};
}

const Fields kNone(13);

// The first text is the product text, or the data text when there are two texts.
struct ParseCase { const char* first; const char* software; const char* revisions; bool threeTexts; Fields expected; };

const ParseCase kParseCases[] = {
    {"", "", "", true, kNone},
    {nullptr, nullptr, nullptr, true, kNone},
    {"....", "..", ".", true, kNone},
    {"GRD_ORO.NA.2012.1", "", "", true, {"GRD_ORO", "NA", "2012", "1", "", "", "", "", "", "", "NA", "", ""}},
    // Runs of separators count as one, also at the ends.
    {"..GRD_TA..-EU--FR---7-..2013...2..", "..9..", ".3..4.5..6.7.", true,
     {"GRD_TA", "-EU--FR---7-", "2013", "2", "9", "3", "4", "", "5", "6", "EU", "FR", "7"}},
    // A fourth region part, a fifth product part and later software parts are dropped.
    {"GRD_MMI.AS-IN-4-X.2020.4.55", "9.1.2", "", true,
     {"GRD_MMI", "AS-IN-4-X", "2020", "4", "9", "", "", "", "", "", "AS", "IN", "4"}},
    {"GRD_NAVTEQ.EU-DE-12.2011.3.7.8", "9.1", nullptr, false,
     {"GRD_NAVTEQ", "EU-DE-12", "2011", "3", "9", "7", "", "", "", "", "EU", "DE", "12"}},
    {"GRD_NT.OC-AU.2015.2", "10", nullptr, false,
     {"GRD_NT", "OC-AU", "2015", "2", "10", "", "", "", "", "", "OC", "AU", ""}},
    {nullptr, nullptr, nullptr, false, kNone},
};

GridVersionString Parse(const ParseCase& c) {
  return c.threeTexts ? GridVersionString(c.first, c.software, c.revisions) : GridVersionString(c.first, c.software);
}

GridVersionString Example() { return GridVersionString("GRD_NAVTEQ.EU-DE-12.2011.3", "9.1", "7"); }

GridVersionString Parsed(const char* region) {
  return GridVersionString((std::string("GRD_NAVTEQ.") + region + ".2011.3").c_str(), "9.1", "7.4.2.1");
}

}  // namespace

TEST(GridVersion, ParsingFormattingAndNumbers) {
  for (const ParseCase& c : kParseCases) EXPECT_EQ(FieldsOf(Parse(c)), c.expected) << (c.first ? c.first : "null");
  EXPECT_EQ(FieldsOf(GridVersionString()), kNone);

  // Each text is read up to its 255th byte: a token that ends there is kept whole, one byte more is cut off.
  const std::string head = "GRD_ORO.NA.2012.", quarter(255 - head.size(), '4');
  EXPECT_EQ(GridVersionString((head + quarter).c_str(), "", "").Quarter().str(), quarter);
  EXPECT_EQ(GridVersionString((head + quarter + "5").c_str(), "", "").Quarter().str(), quarter);
  const std::string huge = "GRD_ORO." + std::string(5000, 'E') + ".2012.1";
  for (const GridVersionString& v : {GridVersionString(huge.c_str(), huge.c_str(), huge.c_str()),
                                     GridVersionString(huge.c_str(), huge.c_str())})
    EXPECT_EQ(v.Region().str() + "|" + v.Year().str() + "|" + v.SoftwareVersion().str(),
              std::string(255 - 8, 'E') + "||GRD_ORO");

  GridVersionString v = Example(), more = Example();
  more.BackboneRevision("8");
  more.CitiesRevision("99");  // appears in no formatted text
  // Revisions that are not given are written as 1.
  const std::pair<OROustring, std::string> texts[] = {
      {v.GetGridProductNameString(), "GRD_NAVTEQ.EU-DE-12.2011.3"},
      {v.GetGridDataString(), "GRD_NAVTEQ.EU-DE-12.2011.3.7"},
      {v.GetGridDataVersionString(false), "GRD_NAVTEQ.EU-DE-12.2011.3.7.1.1.1"},
      {v.GetGridDataVersionString(true), "GRD_NAVTEQ.EU-DE-12.2011.3.7.1.1"},
      {more.GetVersionString(false), "7.1.8.1"},
      {GridVersionString().GetGridDataVersionString(false), "....1.1.1.1"},
      {GridVersionString("", "", "3..5.6").GetVersionString(false), "3.5.6.1"},
      {GridVersionString("", "", "3.4.5.6").GetVersionString(true), "3.4.5"},
  };
  for (const auto& [got, want] : texts) EXPECT_EQ(got.str(), want);

  // Provider codes compare the whole text without regard to case; validity needs a known provider, a year and
  // a quarter above 0; the map identifier is the third region part as a number, -1 when there is none.
  // The product text, the provider code, the validity and the map identifier.
  const std::tuple<const char*, long, bool, long> cases[] = {
      {"GRD_ORO.EU-DE-12.2011.3", 1, true, 12}, {"grd_navteq.EU-DE-007.2011.3", 2, true, 7},
      {"Grd_Nt.EU-DE-x1.2011.3", 2, true, 0},   {"GRD_TELEATLAS.EU-DE.2011.3", 3, true, -1},
      {"GRD_TA.--.2011.7", 3, true, -1},        {"GRD_AND.NA.2011.3", 5, true, -1},
      {"gRd_MmI.NA.1.1", 8, true, -1},          {"GRD_XYZ.NA.2012.1", 0, false, -1},
      {"GRD_NAV.NA.2012.1", 0, false, -1},      {"GRD_NAVTEQX.NA.2012.1", 0, false, -1},
      {"4.NA.2012.1", 0, false, -1},            {"GRD_ORO.NA.0.1", 1, false, -1},
      {"GRD_ORO.NA.2012.0", 1, false, -1},      {"GRD_ORO.NA.-2012.1", 1, false, -1},
      {"GRD_ORO.NA.2012", 1, false, -1},        {"", 0, false, -1},
  };
  for (const auto& [product, provider, valid, id] : cases) {
    GridVersionString parsed(product, "9", "7");
    EXPECT_EQ(std::tuple(parsed.GetProvider(), parsed.IsValidGridVersion(), parsed.GetRegionId()),
              std::tuple(provider, valid, id)) << product;
  }
  EXPECT_EQ(std::pair(Example().GetYear(), Example().GetQuarter()), std::pair(2011L, 3L));
  // A NUL inside the text does not make a prefix count as the whole.
  GridVersionString nul;
  nul.Provider(OROustring(std::string("GRD_ORO\0X", 9)));
  EXPECT_EQ(nul.GetProvider(), GRD_PROVIDER_UNKNOWN);
}

TEST(GridVersion, DatasetComparisonsCopiesAndAssignment) {
  // IsSameDataset(other, false), IsSameDataset(other, true) and IsSameBaseDataset(other) after the change.
  const struct {
    const char* name;
    std::function<void(GridVersionString&)> change;
    bool same, sameWithBackbone, sameBase;
  } cases[] = {
      {"unchanged", [](GridVersionString&) {}, true, true, true},
      {"other sub-region", [](GridVersionString& v) { v = Parsed("EU-FR-3"); }, true, true, true},
      {"region without sub-region", [](GridVersionString& v) { v = Parsed("EU"); }, true, true, true},
      {"other main region", [](GridVersionString& v) { v = Parsed("NA-US-3"); }, false, false, false},
      {"main region in lower case", [](GridVersionString& v) { v = Parsed("eu-DE-12"); }, false, false, false},
      // The setter changes the region text alone: the main region that parsing gave still decides.
      {"region text set", [](GridVersionString& v) { v.Region("NA-US-3"); }, true, true, true},
      {"street revision", [](GridVersionString& v) { v.StreetRevision("5"); }, false, false, true},
      {"backbone revision", [](GridVersionString& v) { v.BackboneRevision("9"); }, true, false, true},
      {"other and cities", [](GridVersionString& v) { v.Other("9"), v.CitiesRevision("9"); }, true, true, true},
      {"grid revision", [](GridVersionString& v) { v.GridRevision("8"); }, false, false, false},
      {"software version", [](GridVersionString& v) { v.SoftwareVersion("10"); }, false, false, false},
      {"year", [](GridVersionString& v) { v.Year("2012"); }, false, false, false},
      {"quarter", [](GridVersionString& v) { v.Quarter("4"); }, false, false, false},
      {"provider in lower case", [](GridVersionString& v) { v.Provider("grd_navteq"); }, false, false, false},
  };
  const GridVersionString base = Parsed("EU-DE-12");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GridVersionString changed = base;
    c.change(changed);
    const GridVersionString& other = changed;
    for (const auto& [a, b] : {std::pair(&base, &other), std::pair(&other, &base)}) {
      EXPECT_EQ(a->IsSameDataset(*b, false), c.same);
      EXPECT_EQ(a->IsSameDataset(*b, true), c.sameWithBackbone);
      EXPECT_EQ(a->IsSameBaseDataset(*b), c.sameBase);
    }
  }

  // Assignment carries all fields (copies are the compiler's); assigning an empty version clears the region parts.
  GridVersionString source("GRD_TA.EU-FR-3.2014.2", "8", "1.2.3.4"), target = Example();
  source.CitiesRevision("5");
  EXPECT_EQ(&(target = source), &target);
  EXPECT_EQ(FieldsOf(target), FieldsOf(source));
  GridVersionString& self = target;
  EXPECT_EQ(FieldsOf(target = self), FieldsOf(source));
  EXPECT_EQ(FieldsOf(target = GridVersionString()), kNone);
}
