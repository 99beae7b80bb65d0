#pragma once
// The entry points that the fuzzers and the replay of kept inputs share: each takes the raw
// bytes of one input, drives the code under test the way the program does, and aborts when an
// invariant does not hold. Refusals with a message (a batch that does not translate, a body
// that is no JSON object) are the expected answer to bad input and pass quietly.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorel::fuzz {

// T-SQL tokenizer, batch parser and translation for both backends, through the cache too.
void sqlBatch(const std::uint8_t *data, std::size_t size);
// An INI settings file as the till reads it, then one key written and read back.
void iniFile(const std::uint8_t *data, std::size_t size);
// The receipt renderer: heading, line template and footing with a slip's values.
void receiptTemplate(const std::uint8_t *data, std::size_t size);
// A request body as the service decodes it, and the replies the till decodes.
void wireRequest(const std::uint8_t *data, std::size_t size);

using Target = void (*)(const std::uint8_t *, std::size_t);

struct TargetEntry {
    const char *name;
    Target run;
};

inline constexpr TargetEntry Targets[] = {
    {"sql", sqlBatch},
    {"ini", iniFile},
    {"receipt", receiptTemplate},
    {"wire", wireRequest},
};

// Writes seed inputs for every target under `dir`/<name>/, made from the project's own
// data: the corpus batches, a settings file as the till writes it, the receipt library,
// and request bodies as the till sends them. `sourceDir` is the top of the source tree.
void writeSeeds(const std::string &sourceDir, const std::string &dir);

} // namespace vorel::fuzz
