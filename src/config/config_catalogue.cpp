// The catalogue of built-in defaults (a first few sections; the full catalogue replaces this list).
#include "config_catalogue.h"

#include <iterator>

namespace navconfig {
namespace {

const CatalogueEntry kImage[] = {
    Int("Image\\KeepPercent", 50),
    Int("Image\\AllowSquish"),
};

const CatalogueEntry kData[] = {
    Int("Data\\YearVersion", 2008),
    Int("Data\\QuarterVersion", 2),
    Int("Data\\VersionedGrid", -1),
    Int("Data\\CurrentRevision", 1),
};

const CatalogueEntry kDirectories[] = {
    Str("Directories\\RootDir", ""),
    Str("Directories\\BatchDir", "/batchgeo/"),
};

}  // namespace

const CatalogueSection kCatalogueSections[] = {
    {"Image", kImage, std::size(kImage)},
    {"Data", kData, std::size(kData)},
    {"Directories", kDirectories, std::size(kDirectories)},
};
const size_t kCatalogueSectionCount = std::size(kCatalogueSections);

const CatalogueEntry kPriorityCatalogue[] = {
    Int("DensityLevels\\DrawGridLevelNetwork1", 3),
};
const size_t kPriorityCatalogueCount = std::size(kPriorityCatalogue);

}  // namespace navconfig
