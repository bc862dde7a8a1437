// RunStages: what one stage of a conversion run hands to the next. Each stage
// takes what it needs and returns what it made, so the driver reads as the
// road of one run and nothing depends on the order fields were filled in.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "KeyIndexList.h"
#include "LineList.h"
#include "quenFile.h"

// One record file as the error check read it.
struct SourceFile {
  std::filesystem::path path;
  std::size_t start = 0;  // in SourceBytes::bytes
  std::size_t size = 0;   // without the line break added after it
  bool read = false;      // false: it could not be opened, and holds no bytes
  std::size_t lines = 0;  // its line count, set by the merge
};

// The record files' bytes end to end, as the merge writes them: each file
// read once, by the error check, with a line break added after a file whose
// last line lacks one. The merge hands them on with each file's line count,
// so that the duplicate check can say where each record stands.
struct SourceBytes {
  quenFile::ByteBuffer bytes;
  std::vector<SourceFile> files;
};

// The merged lines and where each record file's lines lie among them: kept
// until the no-title report, which shows records with the lines around them
// without reading the files again.
struct MergedLines {
  LineList lines;
  std::vector<SourceFile> files;

  // Where line sits in the merged bytes; line must be one of lines.
  std::size_t OffsetOf(std::string_view line) const;
  // The index of the first line at or after offset in the merged bytes.
  std::size_t FirstLineFrom(std::size_t offset) const;
};

// What the duplicate check leaves: the key index of the merged lines, and
// the lines whose key is unique, in key order, each with its index entry so
// that filtering need not collate those keys again.
struct UniqueRecords {
  KeyIndexList index;
  LineList lines;
  std::vector<std::size_t> entries;  // entries[i] is the index entry of lines[i]
  // errors[i] is the error list's first entry for the key of lines[i], or
  // -1: looked up while the duplicate check has that key at hand.
  std::vector<long> errors;
  MergedLines merged;
};
