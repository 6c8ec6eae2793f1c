// The entry point every fuzz target defines. libFuzzer calls it in fuzzing builds; replay.cxx
// calls it over the regression and seed files in the normal build.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
