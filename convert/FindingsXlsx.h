// FindingsXlsx: the findings as an Excel workbook, for the batch tool's
// --findings FILE.xlsx and the window's 「Excelに保存…」. Unlike the CSV, a
// spreadsheet reads back every value as it stands: a key 0012345, an NDC
// "913.6000000" or a 13-digit key stay text.
#pragma once

#include <filesystem>

#include "Findings.h"

// The sheet's name, as Excel shows it on its tab.
inline constexpr const char* kFindingsSheetName = "処理結果の一覧";

// Writes findings to path as a workbook of one sheet: the header row
// (FindingHeader) frozen, an autofilter over the table, each column about
// as wide as its widest value; every cell RowOf gives from a record (種類,
// キー, 書名, ヨミ, NDC, ファイル) is a text cell, never read as a number,
// date or formula, and 行 is a number. A value longer than a cell holds
// (32,767 characters) is cut there; more findings than a sheet holds
// (1,048,575) are refused (EFBIG), before anything is written.
//
// path is written as quenFile::SaveAs writes it: a regular file is replaced
// once the workbook is complete, a device or FIFO written in place, a
// symbolic link followed. The workbook is made in a folder of its own in the
// system's temporary folder first, which goes with it. Throws
// quenFile::FileError naming path, with a Japanese reason.
void SaveFindingsXlsx(const Findings& findings, const std::filesystem::path& path);
