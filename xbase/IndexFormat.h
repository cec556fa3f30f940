// The byte layout of an index file (default extension ".mxi"): one file per table holding up to
// 64 tags, each a B+-tree of fixed-size pages, plus the helpers that read and write its integers
// and checksums. Integers are little-endian; page numbers count from 0 (the header); page 0 is
// never a tree, definition or free page, so 0 also means "none".
//
// Header, page 0 (kPageSize bytes):
//   OFFSET SIZE CONTENT
//   0      8    signature 8B 'T' 'X' 'I' 0D 0A 1A 0A (a high byte, CR LF and ^Z catch text-mode
//               copies and files of other engines)
//   8      2    format version (1)
//   10     2    page size (4096)
//   12     4    page count: pages in the file, the header included
//   16     4    first free page, 0 = none
//   20     4    state: 0 closed cleanly; 1 open for writing (changes may be missing on disk)
//   24     4    tag count N, 0..64
//   28     4    generation: clean closes so far
//   32     32*N tag slots, below
//   2080   4    the table's record count when the file was last written
//   2084   4    the table's fingerprint then: CRC-32 of its update date, the rest of its fixed
//               header after the record count, and its field descriptors (TTable::Fingerprint).
//               With the record count it tells an index made for another table or for an older
//               copy of this one, which is rebuilt rather than trusted.
//   4092   4    CRC-32 of bytes 0..4091
//
// Version 1 files lack the table's record count and fingerprint; they are rebuilt from their tag
// definitions when opened.
//
// Tag slot (32 bytes):
//   0      4    definition page
//   4      4    root page of the key tree: every (key, record) of the tag; 0 = empty
//   8      4    height of the key tree (0 empty, 1 a single leaf)
//   12     4    entries in the key tree
//   16     4    root page of the first-of-key tree: (key, lowest record with that key) for each
//               key; unique tags only, else 0
//   20     4    height of the first-of-key tree
//   24     4    entries in the first-of-key tree
//   28     4    0
//
// Tag definition page (written when the tag is created; never changed afterwards, so that the
// definitions survive a damaged header):
//   0      4    CRC-32 of bytes 4..4095
//   4      1    page type 3
//   5      1    flags: bit 0 unique, bit 1 descending
//   6      1    key type: 'C' 'N' 'D' 'L'
//   7      1    0
//   8      2    key length, 1..240
//   10     2    tag slot number
//   12     2    name length, 1..32
//   14     2    key expression length, 1..1024
//   16     2    for-condition length, 0..1024
//   18     2    0
//   20     32   name, upper case, zero-padded
//   52     1024 key expression text, zero-padded
//   1076   1024 for-condition text, zero-padded
//
// Tree page, leaf (type 1) or branch (type 2):
//   0      4    CRC-32 of bytes 4..4095
//   4      1    page type
//   5      1    tree: 0 key tree, 1 first-of-key tree
//   6      2    entry count n, 1..capacity
//   8      2    tag slot number
//   10     2    key length k
//   12     4    0
//   16     ...  n entries, in ascending (key, record) order
// Leaf entry (k + 4 bytes): key bytes; record number.
// Branch entry (k + 12 bytes): key bytes and record number no greater than any entry below the
// child (entry 0's is not used for searching); child page; number of leaf entries below the child.
//
// Free page (type 4): 0 CRC-32 of bytes 4..4095; 4 page type; 8 next free page (4 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/ByteOrder.h"

namespace tavrik::xbase {

constexpr size_t kPageSize = 4096;
constexpr uint16_t kIndexVersion = 2;
constexpr uint16_t kIndexVersionUnchecked = 1;  // without the table's state
constexpr unsigned char kIndexSignature[8] = {0x8B, 'T', 'X', 'I', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kMaxTags = 64;
constexpr size_t kMaxTagName = 32;
constexpr size_t kMaxTagExpression = 1024;
constexpr const char* kIndexExtension = ".mxi";

// Header fields.
constexpr size_t kHdrVersion = 8;
constexpr size_t kHdrPageSize = 10;
constexpr size_t kHdrPageCount = 12;
constexpr size_t kHdrFreeHead = 16;
constexpr size_t kHdrState = 20;
constexpr size_t kHdrTagCount = 24;
constexpr size_t kHdrGeneration = 28;
constexpr size_t kHdrSlots = 32;
constexpr size_t kSlotSize = 32;
constexpr size_t kHdrTableRecords = kHdrSlots + kMaxTags * kSlotSize;
constexpr size_t kHdrTableFingerprint = kHdrTableRecords + 4;
constexpr size_t kHdrCrc = kPageSize - 4;

// Page types.
constexpr uint8_t kPageLeaf = 1;
constexpr uint8_t kPageBranch = 2;
constexpr uint8_t kPageTagDef = 3;
constexpr uint8_t kPageFree = 4;

// Common fields of the other pages.
constexpr size_t kPageCrc = 0;
constexpr size_t kPageType = 4;

// Tag definition fields.
constexpr size_t kDefFlags = 5;
constexpr size_t kDefKeyType = 6;
constexpr size_t kDefKeyLength = 8;
constexpr size_t kDefSlot = 10;
constexpr size_t kDefNameLength = 12;
constexpr size_t kDefKeyExprLength = 14;
constexpr size_t kDefForLength = 16;
constexpr size_t kDefName = 20;
constexpr size_t kDefKeyExpr = 52;
constexpr size_t kDefFor = kDefKeyExpr + kMaxTagExpression;
constexpr uint8_t kDefUnique = 1;
constexpr uint8_t kDefDescending = 2;

// Tree page fields.
constexpr size_t kTreeKind = 5;
constexpr size_t kTreeCount = 6;
constexpr size_t kTreeSlot = 8;
constexpr size_t kTreeKeyLength = 10;
constexpr size_t kTreeEntries = 16;

// Free page field.
constexpr size_t kFreeNext = 8;

constexpr size_t LeafEntrySize(size_t key_length) { return key_length + 4; }
constexpr size_t BranchEntrySize(size_t key_length) { return key_length + 12; }
constexpr size_t LeafCapacity(size_t key_length) { return (kPageSize - kTreeEntries) / LeafEntrySize(key_length); }
constexpr size_t BranchCapacity(size_t key_length) { return (kPageSize - kTreeEntries) / BranchEntrySize(key_length); }

// CRC-32 as zip and PNG compute it (zlib's).
uint32_t Crc32(const uint8_t* data, size_t size);

}  // namespace tavrik::xbase
