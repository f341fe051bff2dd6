// The decoder benchmarks read their pictures from a folder that make-bench-pictures.sh made,
// so they are registered at start-up, once the folder is known.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pic2pnm::bench {

// Registers one benchmark per decoder, and one per file for the program's whole load path
// (loading plus pixel extraction), over the pictures in `folder`. Returns the names of the
// expected pictures that are missing; their benchmarks are left out.
std::vector<std::string> RegisterDecoderBenchmarks(const std::filesystem::path& folder);

}  // namespace pic2pnm::bench
