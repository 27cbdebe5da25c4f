// GridVersionString on arbitrary texts: parsing never crashes, every operation runs, and a valid version
// formatted as its data string parses back to the same data set.
//
// The input is split at its first two NUL or newline bytes into the product (or data) text, the software
// text and the revision text.
#include <config/gridversion.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Longest text that parsing reads whole.
constexpr size_t kParsedLength = 255;

void Check(bool condition) { if (!condition) std::abort(); }

// The tokens that parsing should find: the first 255 bytes split at the separators, empty pieces dropped.
std::vector<std::string> Tokens(const std::string& text, char separator) {
  std::vector<std::string> tokens;
  std::string piece;
  for (char c : text.substr(0, kParsedLength)) {
    if (c == separator) {
      if (!piece.empty()) tokens.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty()) tokens.push_back(piece);
  return tokens;
}

// Fields take the tokens in order; fields left over stay null.
void CheckFields(const std::vector<const OROustring*>& fields, const std::vector<std::string>& tokens) {
  for (size_t i = 0; i < fields.size(); ++i) Check(fields[i]->str() == (i < tokens.size() ? tokens[i] : ""));
}

void CheckParsed(const GridVersionString& v, const std::string texts[3], bool threeTexts) {
  if (threeTexts) {
    CheckFields({&v.Provider(), &v.Region(), &v.Year(), &v.Quarter()}, Tokens(texts[0], '.'));
    CheckFields({&v.GridRevision(), &v.StreetRevision(), &v.BackboneRevision(), &v.Other()},
                Tokens(texts[2], '.'));
  } else {
    CheckFields({&v.Provider(), &v.Region(), &v.Year(), &v.Quarter(), &v.GridRevision()}, Tokens(texts[0], '.'));
    CheckFields({&v.StreetRevision(), &v.BackboneRevision(), &v.Other()}, {});
  }
  CheckFields({&v.SoftwareVersion()}, Tokens(texts[1], '.'));
  CheckFields({&v.CitiesRevision()}, {});
  CheckFields({&v.Region_MainRegion(), &v.Region_SubRegion(), &v.Region_SubRegionId()},
              Tokens(v.Region().str(), '-'));
}

// No field holds an empty token or one of the separators it was split at.
void CheckTokens(const GridVersionString& v) {
  const OROustring* dotted[] = {&v.Provider(), &v.Region(), &v.Year(), &v.Quarter(), &v.SoftwareVersion(),
                                &v.GridRevision(), &v.StreetRevision(), &v.BackboneRevision(), &v.Other()};
  for (const OROustring* f : dotted) Check(f->find(".") < 0);
  const OROustring* parts[] = {&v.Region_MainRegion(), &v.Region_SubRegion(), &v.Region_SubRegionId()};
  for (const OROustring* f : parts) Check(f->find("-") < 0);
}

void Exercise(const GridVersionString& v) {
  CheckTokens(v);
  (void)v.GetGridProductNameString();
  (void)v.GetGridDataVersionString(false);
  (void)v.GetGridDataVersionString(true);
  (void)v.GetYear();
  (void)v.GetQuarter();
  long id = v.GetRegionId();
  Check(v.Region_SubRegionId().is_null() ? id == -1 : id >= 0);
  long provider = v.GetProvider();
  Check(provider >= 0 && provider <= 8 && provider != 4 && provider != 6 && provider != 7);
  if (v.IsValidGridVersion()) Check(provider >= 1 && v.GetYear() > 0 && v.GetQuarter() > 0);

  GridVersionString copy(v);
  Check(copy.IsSameDataset(v, true) && v.IsSameBaseDataset(copy));
  GridVersionString assigned;
  assigned = copy;
  Check(assigned.GetGridDataVersionString(false) == v.GetGridDataVersionString(false));
  Check(assigned.Region_SubRegionId() == v.Region_SubRegionId());

  // The region setter leaves the object as parsing that region would.
  GridVersionString regionSet = v;
  regionSet.Region(v.Region_SubRegion());
  CheckTokens(regionSet);
}

// A valid version written as its data string parses back to the same fields, provided that the formatted
// text fits into what parsing reads.
void CheckRoundTrip(const GridVersionString& v, const std::string& software) {
  if (!v.IsValidGridVersion()) return;
  OROustring data = v.GetGridDataString();
  if (static_cast<size_t>(data.length()) > kParsedLength) return;
  GridVersionString again(data.c_str(), software.c_str());
  using Field = const OROustring& (GridVersionString::*)() const;
  for (Field f : {&GridVersionString::Provider, &GridVersionString::Region, &GridVersionString::Year,
                  &GridVersionString::Quarter, &GridVersionString::GridRevision, &GridVersionString::SoftwareVersion,
                  &GridVersionString::Region_MainRegion, &GridVersionString::Region_SubRegion,
                  &GridVersionString::Region_SubRegionId})
    Check((again.*f)() == (v.*f)());
  Check(again.IsValidGridVersion());
  Check(again.IsSameBaseDataset(v));
  Check(again.GetRegionId() == v.GetRegionId());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string texts[3];
  size_t part = 0;
  for (size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(data[i]);
    if ((c == '\0' || c == '\n') && part < 2) {
      ++part;
      continue;
    }
    // A NUL past the second split would end the text early anyway; keep the texts C strings.
    if (c != '\0') texts[part] += c;
  }

  GridVersionString three(texts[0].c_str(), texts[1].c_str(), texts[2].c_str());
  CheckParsed(three, texts, true);
  Exercise(three);
  CheckRoundTrip(three, texts[1]);

  GridVersionString two(texts[0].c_str(), texts[1].c_str());
  CheckParsed(two, texts, false);
  Exercise(two);
  CheckRoundTrip(two, texts[1]);
  // A data text that was read whole formats back to itself, separators aside.
  if (texts[0].size() <= kParsedLength && two.IsValidGridVersion()) {
    GridVersionString fromProduct(two.GetGridProductNameString(), OROustring(texts[1]), two.GridRevision());
    Check(fromProduct.GetGridDataString() == two.GetGridDataString());
  }
  return 0;
}
