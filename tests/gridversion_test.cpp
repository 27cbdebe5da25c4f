// GridVersionString: parsing the version texts of map data sets, formatting them again and comparing them.
#include <config/gridversion.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Fields = std::vector<std::string>;

// The thirteen fields in their order: provider, region, year, quarter, software, grid, street, cities,
// backbone, other, main region, sub-region, sub-region id.
Fields FieldsOf(const GridVersionString& v) {
  return {v.Provider().str(),         v.Region().str(),           v.Year().str(),
          v.Quarter().str(),          v.SoftwareVersion().str(),  v.GridRevision().str(),
          v.StreetRevision().str(),   v.CitiesRevision().str(),   v.BackboneRevision().str(),
          v.Other().str(),            v.Region_MainRegion().str(), v.Region_SubRegion().str(),
          v.Region_SubRegionId().str()};
}

const Fields kNone(13);

GridVersionString Example() { return GridVersionString("GRD_NAVTEQ.EU-DE-12.2011.3", "9.1", "7"); }

}  // namespace

TEST(GridVersion, WorkedExample) {
  GridVersionString v = Example();
  EXPECT_EQ(FieldsOf(v), (Fields{"GRD_NAVTEQ", "EU-DE-12", "2011", "3", "9", "7", "", "", "", "", "EU", "DE", "12"}));
  EXPECT_EQ(v.GetFullRegion().str(), "EU");
  EXPECT_EQ(v.GetGridProductNameString().str(), "GRD_NAVTEQ.EU-DE-12.2011.3");
  EXPECT_EQ(v.GetGridDataString().str(), "GRD_NAVTEQ.EU-DE-12.2011.3.7");
  EXPECT_EQ(v.GetVersionString(false).str(), "7.1.1.1");
  EXPECT_EQ(v.GetVersionString(true).str(), "7.1.1");
  EXPECT_EQ(v.GetGridDataVersionString(false).str(), "GRD_NAVTEQ.EU-DE-12.2011.3.7.1.1.1");
  EXPECT_EQ(v.GetGridDataVersionString(true).str(), "GRD_NAVTEQ.EU-DE-12.2011.3.7.1.1");
  EXPECT_EQ(v.GetProvider(), GRD_PROVIDER_NAVTEQ);
  EXPECT_EQ(v.GetYear(), 2011);
  EXPECT_EQ(v.GetQuarter(), 3);
  EXPECT_EQ(v.GetRegionId(), 12);
  EXPECT_TRUE(v.IsValidGridVersion());
}

TEST(GridVersion, ParsingSplitsTextsIntoTheirFields) {
  struct Case {
    const char* name;
    const char* first;  // productText, or dataText when third is absent
    const char* software;
    const char* revisions;
    bool threeTexts;
    Fields expected;
  };
  const Case cases[] = {
      {"all texts empty", "", "", "", true, kNone},
      {"null texts", nullptr, nullptr, nullptr, true, kNone},
      {"separators only", "....", "..", ".", true, kNone},
      {"region without sub-region", "GRD_ORO.NA.2012.1", "", "", true,
       {"GRD_ORO", "NA", "2012", "1", "", "", "", "", "", "", "NA", "", ""}},
      {"runs of separators count as one, none at the ends gives a field",
       "..GRD_TA..-EU--FR---7-..2013...2..", "..9..", ".3..4.5..6.7.", true,
       {"GRD_TA", "-EU--FR---7-", "2013", "2", "9", "3", "4", "", "5", "6", "EU", "FR", "7"}},
      {"a fourth region part is dropped", "GRD_MMI.AS-IN-4-X.2020.4", "", "", true,
       {"GRD_MMI", "AS-IN-4-X", "2020", "4", "", "", "", "", "", "", "AS", "IN", "4"}},
      {"product text keeps four parts", "GRD_AND.SA-BR-9.2019.1.55.66", "", "", true,
       {"GRD_AND", "SA-BR-9", "2019", "1", "", "", "", "", "", "", "SA", "BR", "9"}},
      {"software keeps its first part", "", "9.1.2", "", true,
       {"", "", "", "", "9", "", "", "", "", "", "", "", ""}},
      {"data text with five parts", "GRD_NAVTEQ.EU-DE-12.2011.3.7", "9.1", nullptr, false,
       {"GRD_NAVTEQ", "EU-DE-12", "2011", "3", "9", "7", "", "", "", "", "EU", "DE", "12"}},
      {"data text keeps five of six parts", "GRD_NAVTEQ.EU-DE-12.2011.3.7.8", "", nullptr, false,
       {"GRD_NAVTEQ", "EU-DE-12", "2011", "3", "", "7", "", "", "", "", "EU", "DE", "12"}},
      {"data text without grid revision", "GRD_NT.OC-AU.2015.2", "10", nullptr, false,
       {"GRD_NT", "OC-AU", "2015", "2", "10", "", "", "", "", "", "OC", "AU", ""}},
      {"null data texts", nullptr, nullptr, nullptr, false, kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GridVersionString v = c.threeTexts ? GridVersionString(c.first, c.software, c.revisions)
                                       : GridVersionString(c.first, c.software);
    EXPECT_EQ(FieldsOf(v), c.expected);
    // The string overloads read the same.
    GridVersionString s = c.threeTexts ? GridVersionString(OROustring(c.first), OROustring(c.software),
                                                           OROustring(c.revisions))
                                       : GridVersionString(OROustring(c.first), OROustring(c.software));
    EXPECT_EQ(FieldsOf(s), c.expected);
  }
}

TEST(GridVersion, LongTextsAreCutAt255Bytes) {
  // The last token ends on byte 255 and is kept whole; one byte more is cut off.
  const std::string head = "GRD_ORO.NA.2012.";
  std::string fits = head + std::string(255 - head.size(), '4');
  ASSERT_EQ(fits.size(), 255u);
  EXPECT_EQ(GridVersionString(fits.c_str(), "", "").Quarter().str(), std::string(255 - head.size(), '4'));
  std::string over = fits + "4";
  EXPECT_EQ(GridVersionString(over.c_str(), "", "").Quarter().str(), std::string(255 - head.size(), '4'));

  // Far past the buffer: only the first 255 bytes are read, and nothing is written beyond it.
  std::string huge = "GRD_ORO." + std::string(5000, 'E') + ".2012.1";
  GridVersionString v(huge.c_str(), huge.c_str(), huge.c_str());
  EXPECT_EQ(v.Region().str(), std::string(255 - 8, 'E'));
  EXPECT_TRUE(v.Year().is_null());
  EXPECT_EQ(v.SoftwareVersion().str(), "GRD_ORO");
  EXPECT_FALSE(v.IsValidGridVersion());
  GridVersionString d(huge.c_str(), huge.c_str());
  EXPECT_EQ(d.Region().str(), std::string(255 - 8, 'E'));
  EXPECT_TRUE(d.GridRevision().is_null());
}

TEST(GridVersion, ProviderCodesIgnoreCaseOverTheWholeText) {
  const struct {
    const char* provider;
    long code;
  } cases[] = {
      {"GRD_ORO", 1},       {"GRD_NAVTEQ", 2}, {"grd_navteq", 2}, {"GRD_NT", 2},   {"Grd_Nt", 2},
      {"GRD_TELEATLAS", 3}, {"GRD_TA", 3},     {"GRD_AND", 5},    {"GRD_MMI", 8},  {"gRd_MmI", 8},
      {"GRD_XYZ", 0},       {"GRD_NAV", 0},    {"GRD_NAVTEQX", 0}, {"GRD_NT ", 0}, {"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.provider);
    GridVersionString v((std::string(c.provider) + ".EU-DE-12.2011.3").c_str(), "9", "7");
    EXPECT_EQ(v.GetProvider(), c.code);
    EXPECT_EQ(v.IsValidGridVersion(), c.code != 0);
  }
  // A NUL inside the text does not make a prefix count as the whole.
  GridVersionString v;
  v.Provider(OROustring(std::string("GRD_ORO\0X", 9)));
  EXPECT_EQ(v.GetProvider(), GRD_PROVIDER_UNKNOWN);
}

TEST(GridVersion, ValidityNeedsProviderYearAndQuarter) {
  const struct {
    const char* product;
    bool valid;
  } cases[] = {
      {"GRD_ORO.NA.2012.1", true},
      {"GRD_ORO.NA.2012.7", true},  // the quarter is only required to be above 0
      {"GRD_ORO.NA.0.1", false},
      {"GRD_ORO.NA.2012.0", false},
      {"GRD_ORO.NA.-2012.1", false},
      {"GRD_ORO.NA.20x2.1", false},
      {"GRD_ORO.NA.2012.Q1", false},
      {"GRD_ORO.NA.99999999999999999999999.1", false},
      {"GRD_ORO.NA.2012", false},
      {"GRD_ORO", false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.product);
    EXPECT_EQ(GridVersionString(c.product, "", "").IsValidGridVersion(), c.valid);
  }
  // Codes without a provider text cannot be reached through the text.
  EXPECT_FALSE(GridVersionString("4.NA.2012.1", "", "").IsValidGridVersion());
}

TEST(GridVersion, NumericAccessors) {
  const struct {
    const char* region;
    long id;
  } regions[] = {
      {"EU-DE-12", 12}, {"EU-DE-007", 7}, {"EU-DE-x1", 0}, {"EU-DE", -1}, {"NA", -1}, {"", -1}, {"--", -1},
  };
  for (const auto& c : regions) {
    SCOPED_TRACE(c.region);
    GridVersionString v((std::string("GRD_ORO.") + c.region + ".2012.1").c_str(), "", "");
    EXPECT_EQ(v.GetRegionId(), c.id);
  }
  GridVersionString v("GRD_ORO.NA.20x1.3", "", "");
  EXPECT_EQ(v.GetYear(), 0);
  EXPECT_EQ(v.GetQuarter(), 3);
}

TEST(GridVersion, DefaultObjectIsEmptyAndInvalid) {
  GridVersionString v;
  EXPECT_EQ(FieldsOf(v), kNone);
  EXPECT_EQ(v.GetProvider(), GRD_PROVIDER_UNKNOWN);
  EXPECT_EQ(v.GetYear(), 0);
  EXPECT_EQ(v.GetRegionId(), -1);
  EXPECT_FALSE(v.IsValidGridVersion());
  EXPECT_EQ(v.GetGridProductNameString().str(), "...");
  EXPECT_EQ(v.GetGridDataVersionString(false).str(), "....1.1.1.1");
}

TEST(GridVersion, VersionStringWritesMissingRevisionsAsOne) {
  EXPECT_EQ(GridVersionString("", "", "").GetVersionString(false).str(), "1.1.1.1");
  EXPECT_EQ(GridVersionString("", "", "3.4.5.6").GetVersionString(false).str(), "3.4.5.6");
  EXPECT_EQ(GridVersionString("", "", "3.4.5.6").GetVersionString(true).str(), "3.4.5");
  // Doubled separators cannot leave a revision out: the next one moves up.
  EXPECT_EQ(GridVersionString("", "", "3..5").GetVersionString(false).str(), "3.5.1.1");

  GridVersionString v = Example();
  v.StreetRevision("");
  v.BackboneRevision("8");
  v.Other("");
  v.CitiesRevision("99");  // appears in no formatted text
  EXPECT_EQ(v.GetVersionString(false).str(), "7.1.8.1");
  EXPECT_EQ(v.GetGridDataVersionString(true).str(), "GRD_NAVTEQ.EU-DE-12.2011.3.7.1.8");
}

TEST(GridVersion, FormattedTextsParseBackToTheSameFields) {
  const char* products[] = {"GRD_NAVTEQ.EU-DE-12.2011.3", "GRD_ORO.NA.2012.1", "GRD_TA.OC-AU.2015.4"};
  const char* revisions[] = {"7.2.3.4", "1.1.1.1", "11.0.5.2"};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(products[i]);
    GridVersionString v(products[i], "9.1", revisions[i]);
    GridVersionString data(v.GetGridDataString(), v.SoftwareVersion());
    EXPECT_EQ(data.GetGridDataString().str(), v.GetGridDataString().str());
    EXPECT_EQ(data.Region_SubRegionId().str(), v.Region_SubRegionId().str());
    EXPECT_TRUE(data.IsSameBaseDataset(v));
    GridVersionString product(v.GetGridProductNameString(), OROustring("9"), v.GetVersionString(false));
    EXPECT_EQ(product.GetGridDataVersionString(false).str(), v.GetGridDataVersionString(false).str());
    EXPECT_TRUE(product.IsSameDataset(v, true));
  }
}

namespace {
// The comparison base with another region, parsed.
GridVersionString Parsed(const char* region) {
  return GridVersionString((std::string("GRD_NAVTEQ.") + region + ".2011.3").c_str(), "9.1", "7.4.2.1");
}
}  // namespace

TEST(GridVersion, DatasetComparisons) {
  struct Case {
    const char* name;
    std::function<void(GridVersionString&)> change;
    bool same;              // IsSameDataset(other, false)
    bool sameWithBackbone;  // IsSameDataset(other, true)
    bool sameBase;          // IsSameBaseDataset(other)
  };
  const Case cases[] = {
      {"unchanged", [](GridVersionString&) {}, true, true, true},
      {"other sub-region", [](GridVersionString& v) { v = Parsed("EU-FR-3"); }, true, true, true},
      {"region without sub-region", [](GridVersionString& v) { v = Parsed("EU"); }, true, true, true},
      {"other main region", [](GridVersionString& v) { v = Parsed("NA-US-3"); }, false, false, false},
      {"main region in lower case", [](GridVersionString& v) { v = Parsed("eu-DE-12"); }, false, false, false},
      // The setter changes the region text alone: the main region that parsing gave still decides.
      {"region text set", [](GridVersionString& v) { v.Region("NA-US-3"); }, true, true, true},
      {"street revision", [](GridVersionString& v) { v.StreetRevision("5"); }, false, false, true},
      {"backbone revision", [](GridVersionString& v) { v.BackboneRevision("9"); }, true, false, true},
      {"other revision", [](GridVersionString& v) { v.Other("9"); }, true, true, true},
      {"cities revision", [](GridVersionString& v) { v.CitiesRevision("9"); }, true, true, true},
      {"grid revision", [](GridVersionString& v) { v.GridRevision("8"); }, false, false, false},
      {"software version", [](GridVersionString& v) { v.SoftwareVersion("10"); }, false, false, false},
      {"year", [](GridVersionString& v) { v.Year("2012"); }, false, false, false},
      {"quarter", [](GridVersionString& v) { v.Quarter("4"); }, false, false, false},
      {"provider in lower case", [](GridVersionString& v) { v.Provider("grd_navteq"); }, false, false, false},
      {"provider alias", [](GridVersionString& v) { v.Provider("GRD_NT"); }, false, false, false},
  };
  const GridVersionString base("GRD_NAVTEQ.EU-DE-12.2011.3", "9.1", "7.4.2.1");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GridVersionString other = base;
    c.change(other);
    EXPECT_EQ(base.IsSameDataset(other, false), c.same);
    EXPECT_EQ(base.IsSameDataset(other, true), c.sameWithBackbone);
    EXPECT_EQ(base.IsSameBaseDataset(other), c.sameBase);
    EXPECT_EQ(other.IsSameDataset(base, false), c.same);
    EXPECT_EQ(other.IsSameDataset(base, true), c.sameWithBackbone);
    EXPECT_EQ(other.IsSameBaseDataset(base), c.sameBase);
  }
}

TEST(GridVersion, RegionSetterReplacesTheRegionTextAlone) {
  GridVersionString v = Example();
  v.Region("EU-FR-3");
  EXPECT_EQ(v.Region().str(), "EU-FR-3");
  EXPECT_EQ(v.GetGridDataString().str(), "GRD_NAVTEQ.EU-FR-3.2011.3.7");
  // The parts that parsing gave stay: the map identifier is still the parsed one.
  EXPECT_EQ(v.Region_SubRegion().str(), "DE");
  EXPECT_EQ(v.GetRegionId(), 12);
  // Same main region as parsed, so still the same data set as the example.
  EXPECT_TRUE(v.IsSameDataset(Example(), false));

  // An object built field by field has no region parts at all.
  GridVersionString built;
  built.Provider("GRD_NAVTEQ");
  built.Region("EU-DE-12");
  built.Year("2011");
  built.Quarter("3");
  EXPECT_TRUE(built.Region_MainRegion().is_null());
  EXPECT_EQ(built.GetRegionId(), -1);
  EXPECT_TRUE(built.IsValidGridVersion());
}

TEST(GridVersion, CopyAndAssignmentCarryAllFields) {
  GridVersionString source("GRD_TA.EU-FR-3.2014.2", "8", "1.2.3.4");
  source.CitiesRevision("5");
  const Fields expected = FieldsOf(source);

  GridVersionString copy(source);
  EXPECT_EQ(FieldsOf(copy), expected);

  GridVersionString target = Example();
  const GridVersionString& result = (target = source);
  EXPECT_EQ(&result, &target);
  EXPECT_EQ(FieldsOf(target), expected);

  // Assigning an empty object clears the region parts as well.
  target = GridVersionString();
  EXPECT_EQ(FieldsOf(target), kNone);
  EXPECT_EQ(target.GetRegionId(), -1);

  GridVersionString& self = copy;
  copy = self;
  EXPECT_EQ(FieldsOf(copy), expected);
}

TEST(GridVersion, ParsesOnSeveralThreadsAtOnce) {
  struct Job {
    const char* product;
    const char* software;
    const char* revisions;
    Fields expected;
  };
  const Job jobs[4] = {
      {"GRD_NAVTEQ.EU-DE-12.2011.3", "9.1", "7.2.3.4",
       {"GRD_NAVTEQ", "EU-DE-12", "2011", "3", "9", "7", "2", "", "3", "4", "EU", "DE", "12"}},
      {"..GRD_ORO..NA..2012..1..", "10", "5",
       {"GRD_ORO", "NA", "2012", "1", "10", "5", "", "", "", "", "NA", "", ""}},
      {"GRD_TA.OC-AU-77.2015.4.extra", "3.0", "11.12",
       {"GRD_TA", "OC-AU-77", "2015", "4", "3", "11", "12", "", "", "", "OC", "AU", "77"}},
      {"GRD_MMI.AS-IN-4-X.2020.2", "", "8.9.10.11.12",
       {"GRD_MMI", "AS-IN-4-X", "2020", "2", "", "8", "9", "", "10", "11", "AS", "IN", "4"}},
  };
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (const Job& job : jobs) {
    threads.emplace_back([&job, &mismatches] {
      for (int i = 0; i < 5000; ++i) {
        GridVersionString v(job.product, job.software, job.revisions);
        if (FieldsOf(v) != job.expected) ++mismatches;
        GridVersionString d(v.GetGridDataString().c_str(), job.software);
        if (d.Region_SubRegionId() != v.Region_SubRegionId() || d.GridRevision() != v.GridRevision())
          ++mismatches;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
}
