// RunStages: what one stage of a conversion run hands to the next. Each stage
// takes what it needs and returns what it made, so the driver reads as the
// road of one run and nothing depends on the order fields were filled in.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "KeyIndexList.h"
#include "LineList.h"
#include "quenFile.h"
#include "quenFileRegion.h"

// One record file as the error check read it.
struct SourceFile {
  std::filesystem::path path;
  std::size_t start = 0;  // in SourceBytes::bytes
  std::size_t size = 0;   // its bytes, without the gap after them
  bool read = false;      // false: it could not be opened, and holds no bytes
  std::size_t lines = 0;  // its line count, set by the error check
};

// The record files' bytes in one range, in order, each file at its own page
// boundary (mapped or read once, by the error check), and each file's line
// count as the error check counted it, so that the duplicate check can say
// where each record stands. A place in the range is an offset in the merged
// bytes. A file whose last line lacks a break has one in the gap after it,
// for whoever reads a line up to its break; its lines never take it in.
struct SourceBytes {
  quenFile::FileRegion bytes;
  std::vector<SourceFile> files;
  // The lines as one cut of all of bytes gives them, cut file by file by
  // the error check, and the key index of them, not yet sorted. Until the
  // duplicate check hands bytes to lines (LineList::KeepBytes) no line may
  // be read.
  LineList lines;
  KeyIndexList index;
};

// The merged lines and where each record file's lines lie among them: kept
// until the no-title report, which shows records with the lines around them
// without reading the files again.
struct MergedLines {
  LineList lines;
  std::vector<SourceFile> files;
  std::string_view bytes;  // the range the lines lie in, which they hold

  // The lines the error check cut, holding the sources' range as their
  // storage: the lines of the files' bytes run together.
  static MergedLines Load(SourceBytes sources);
  // Where line sits in the merged bytes; line must be one of lines.
  std::size_t OffsetOf(std::string_view line) const;
  // The index of the first line at or after offset in the merged bytes.
  std::size_t FirstLineFrom(std::size_t offset) const;
};

// What the duplicate check leaves: the lines whose key is unique, in key
// order, with the error list's finding for each that has one, looked up
// while the duplicate check had the keys at hand. The key index itself is
// gone by then: filtering needs none of it.
struct UniqueRecords {
  LineList lines;
  // (i, e) for each lines[i] whose key the error list holds, in order of i:
  // e is the error list's first entry for that key.
  std::vector<std::pair<std::size_t, long>> errors;
  MergedLines merged;
};
