#pragma once

#include <cstddef>

// The library's tunables, each with its reason and the figure that chose it
// where one was measured. Constants that follow from a layout stay with it
// (the eight syntax names of one selection pass are the bits of a byte,
// SyntaxNameSelection.h; the packed collection entry,
// AuxFileIdentifierValidator.cpp), and those of the generic structures are
// in their support/ headers.
namespace config {

// Paths of up to this many bytes are kept in the entry itself
// (CrawlerFilePath): with the shared pointer's count beside it, an entry
// then takes one block of 160 bytes, and a study's paths
// (Re=100/Mach=0.5/model=kEpsilon/solution_0001.vtu) nearly all fit. About
// 0.5 KiB a file at the peak on the nested study with it (README, Speed);
// the 88 itself was not measured.
constexpr std::size_t inPlacePathBytes = 88;

// The ways out of an entry's state (CrawlerFilePath::Transitions) one round
// of matching remembers: a round takes nearly all entries the same few ways,
// so the latest are looked through first. Not measured.
constexpr std::size_t transitionsRemembered = 64;

// Paths appended to the parser wait for the sort in a list that starts with
// room for this many and doubles. Not measured.
constexpr std::size_t pendingPathsLeast = 1024;

} // namespace config
