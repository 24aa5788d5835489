// The structural part of a usdc ("crate") file: the 88-byte header ("PXR-USDC", version,
// table-of-contents offset), the table of contents, and the TOKENS, STRINGS, FIELDS,
// FIELDSETS, PATHS and SPECS sections in their compressed form (versions 0.4.0 and later).
// Every index between the tables is checked here, so users may index without checking.
// Throws UsdFormatError for a file that is not such a crate or whose tables do not agree.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace trimeo::usd {

struct CrateField {
    std::uint32_t token = 0; // the field's name, an index into tokens
    std::uint64_t valueRep = 0;
};

struct CratePath {
    std::int64_t parent = -1; // index into paths; -1 for the absolute root
    std::uint32_t token = 0;  // the last element's name
    bool isProperty = false;
    int depth = 0;            // 0 for the root
};

// SdfSpecType values the reader cares about.
enum class CrateEntryType : std::uint32_t { attribute = 1, prim = 6, pseudoRoot = 7, relationship = 8, variant = 10 };

struct CrateEntry {
    std::uint32_t path = 0;     // index into paths
    std::uint32_t fieldSet = 0; // index into fieldSets where this entry's field list starts
    std::uint32_t type = 0;
};

struct CrateLayout {
    std::span<const std::uint8_t> bytes; // the whole file, for values stored out of line
    std::uint8_t major = 0, minor = 0, patch = 0;
    std::vector<std::string> tokens;
    std::vector<std::uint32_t> strings; // token indices
    std::vector<CrateField> fields;
    std::vector<std::uint32_t> fieldSets; // field indices, each set ended by 0xffffffff
    std::vector<CratePath> paths;
    std::vector<CrateEntry> entries;

    // The fields of the set starting at `fieldSet`, in file order.
    std::vector<const CrateField*> fieldsOf(std::uint32_t fieldSet) const;
    // The path's text: "/A/B", "/A.attr", "/A{set=variant}B"; throws for an index out of range.
    std::string pathText(std::uint64_t index) const;
};

CrateLayout readCrateLayout(std::span<const std::uint8_t> bytes);

} // namespace trimeo::usd
