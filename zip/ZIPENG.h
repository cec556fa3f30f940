// The interface between the ZIP component and the ZIP engine library (libzipeng.so): the call
// record handed to ZipEngExec in its two layouts, the file-spec record, the callback
// record the engine fills, the entry points and the constants both sides agree on. Shared by
// zip/ and zipeng/; it includes only freestanding headers so that a 32-bit syntax check of the
// layouts needs no 32-bit C library.
//
// All integers are little-endian. Flags are 32-bit, -1 for true and 0 for false, unless a width
// is given. Text fields point to zero-terminated single-byte strings that the component
// allocates before the call and frees after it. Every field that holds an address is
// pointer-sized: a 32-bit build has exactly the offsets of the first column (checked below), a
// 64-bit build the offsets of the second (also checked). Records are allocated zero-filled, so
// reserved bytes and the padding of the 64-bit layouts are 0.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(__i386__)
// Arguments on the stack, the callee cleans up: the convention the engine was built for.
#define ZIPENG_CALL __attribute__((stdcall))
#else
#define ZIPENG_CALL
#endif

namespace tavrik {

// --- constants -----------------------------------------------------------------------------

constexpr int32_t kZipTrue = -1;
constexpr int32_t kZipFalse = 0;
// The component's own version number, written into every call record.
constexpr int32_t kZipComponentVersion = 160;
// Engines up to this version get the older call-record layout, later ones the newer.
constexpr int32_t kZipOldLayoutLastVersion = 150;
// Engines from this version on also get the fields marked "v160" below.
constexpr int32_t kZipFullRecordVersion = 160;
// The integer that closes the newer layout and opens the older one's spec list.
constexpr int32_t kZipRecordMarker = 7;
// Room for file specs in the older layout.
constexpr int kZipOldLayoutSpecSlots = 4097;
// Size of the callback record's text field.
constexpr int kZipCallbackTextSize = 512;
// The longest password an answer may carry, and how many characters of the component's
// password the call record carries.
constexpr int kZipMaxAnswerPassword = 80;
constexpr int kZipMaxRecordPassword = 81;
// Recurse flags (16 bits) and the encrypt value of a file spec that carries its own password.
constexpr uint16_t kZipRecurseOn = 0xFFFF;
constexpr int32_t kZipSpecOwnPassword = 65535;
// Code-page value of the newer layout: entry names are written in the OEM code page.
constexpr uint16_t kZipCodePageOem = 2;

// Callback actions (the callback record's action field).
enum ZipCallbackAction : int32_t {
  zcaNewFile = 1,         // text: file name, size: its size
  zcaProgress = 2,        // size: that many more bytes are done
  zcaEndOfBatch = 3,
  zcaMessage = 4,         // text: the message, error code: 0 or an error code
  zcaTotalFiles = 5,      // size: number of files to process
  zcaTotalSize = 6,       // size: bytes to process
  zcaNewName = 7,         // text: entry name; answer: error code 1 and the new name in text
  zcaPassword = 8,        // error code bit 0: for adding; size: repeat count; answer: see below
  zcaCrcError = 9,        // extraction only
  zcaOverwrite = 10,      // extraction only
  zcaSkipped = 11,        // extraction only
  zcaFileComment = 12,    // answer: error code 1 and the comment in text
  zcaBufferRequest = 13,  // size: bytes wanted (at most 256 MiB); answer: size := the address
};

// The callback answers -1 when the engine is to stop, 0 otherwise.
constexpr int32_t kZipCallbackAbort = -1;

// Error codes the engine puts into messages (the low byte; the bits above it carry the
// operating system's error number, when there is one).
enum ZipEngineError : int32_t {
  zeOk = 0,
  zeNothingToDo = 1,      // no file matched the file specs, or none needed adding
  zeNotFound = 2,         // a file spec named nothing that exists
  zeOpenRead = 3,         // a file could not be opened or read
  zeChanged = 4,          // a file changed while it was being read
  zeNotRegular = 5,       // a device, pipe or socket: never read
  zeBadArchive = 6,       // the existing archive cannot be read
  zeUnsupported = 7,      // an entry of the existing archive cannot be copied
  zeCreate = 8,           // the temporary archive cannot be made
  zeWrite = 9,            // writing the archive failed (a full disk, ...)
  zeRename = 10,          // the finished archive could not take the place of the old one
  zePassword = 11,        // encryption asked for and no password given
  zeAborted = 12,         // the callback asked to stop
  zeDelete = 13,          // a moved file could not be deleted
  zeMemory = 14,          // out of memory
  zeBadRecord = 15,       // the call record is not one this engine reads
  zeDuplicateName = 16,   // two files would get the same entry name; the second is left out
  zeFailed = 17,          // any other failure
};

struct ZipCallbackRecord;
struct ZipFileSpecRecord;

using ZipCallbackFunc = int32_t(ZIPENG_CALL*)(ZipCallbackRecord* record);

// --- the call record -----------------------------------------------------------------------

// The part common to both layouts.
//   32-bit 64-bit  size    content
//    0      0      ptr     window handle of the application's main window; 0 when unattended
//    4      8      ptr     the component, handed back in every callback
//    8     16      4       the component's version (160)
//   12     24      ptr     the callback function
//   16     32      4       trace flag
//   20     40      ptr     password text (at most 81 characters), or none
//   24     48      ptr     store-suffix text ".gif:.png:...", or none
//   28     56      4       encrypt flag
//   32     60      4       hidden-files flag
//   36     64      4       volume-label flag
//   40     68      4       0
//   44     72      4       no-directory-entries flag
//   48     76      4       0
//   52     80      4       verbose flag
//   56     84      4       -1
//   60     88      4       compression level
//   64     92      8       0
//   72    100      4       junk-directories flag
//   76    104      2       recurse flag (0xFFFF or 0)
//   78    106      2       0
//   80    108      4       -1
//   84    112      4       force-DOS-names flag
//   88    116      4       move flag
//   92    120      4       0
//   96    124      4       update flag
//  100    128      4       freshen flag
//  104    132      4       0
//  108    136      4       latest-time flag
//  112    140      8       0
//  120    148      4       number of file specs
//  124    152      ptr     archive path text
//  128    160              (end)
struct ZipCallCommon {
  void* window;
  void* caller;
  int32_t version;
  ZipCallbackFunc callback;
  int32_t trace;
  char* password;
  char* store_suffixes;
  int32_t encrypt;
  int32_t hidden_files;
  int32_t volume_label;
  int32_t reserved40;
  int32_t no_dir_entries;
  int32_t reserved48;
  int32_t verbose;
  int32_t always_true56;
  int32_t level;
  int32_t reserved64[2];
  int32_t junk_dirs;
  uint16_t recurse;
  uint16_t reserved78;
  int32_t always_true80;
  int32_t force_dos;
  int32_t move;
  int32_t reserved92;
  int32_t update;
  int32_t freshen;
  int32_t reserved104;
  int32_t latest_time;
  int32_t reserved112[2];
  int32_t spec_count;
  char* archive;
};

// The older layout (engines up to version 150).
//   32-bit 64-bit  size        content
//    0      0      128/160     the common part
//  128    160      4           7
//  132    168      4097 × ptr  one text per file spec, verbatim, in list order
// 16520  32944                 (end)
struct ZipCallRecordOld {
  ZipCallCommon common;
  int32_t marker;
  char* specs[kZipOldLayoutSpecSlots];
};

// One file spec of the newer layout.
//   32-bit 64-bit  size    content
//    0      0      ptr     the file spec (without prefix character and password part)
//    4      8      8       0
//   12     16      ptr     password text of this file spec, or none
//   16     24      4       encrypt value: the call's encrypt flag, 65535 with an own
//                          password, 0 when the file spec is to be stored without one
//   20     28      2       recurse flag (0xFFFF or 0)
//   22     30      14      0
//   36     48      ptr     root folder text, or none
//   40     56      64      0
//  104    120              (end)
struct ZipFileSpecRecord {
  char* spec;
  int32_t reserved4[2];
  char* password;
  int32_t encrypt;
  uint16_t recurse;
  uint8_t reserved22[14];
  char* root_dir;
  int32_t reserved40[16];
};

// The newer layout (engines from version 151).
//   32-bit 64-bit  size    content
//    0      0      128/160 the common part
//  128    160      ptr     temporary folder text, or none
//  132    168      ptr     archive comment text, or none (v160)
//  136    176      2       1 when only files with the archive attribute are added (v160)
//  138    178      2       1 when the archive attribute is to be reset (v160)
//  140    184      ptr     array of ZipFileSpecRecord, one per file spec
//  144    192      4       0
//  148    196      4       number of exclusion specs (v160)
//  152    200      ptr     array of that many exclusion texts (v160)
//  156    208      32      0
//  188    240      4       -1: replaced and moved files go to the trash (v160)
//  192    244      2       2: entry names in the OEM code page (v160)
//  194    246      18      0
//  212    264      4       7
//  216    272              (end)
struct ZipCallRecordNew {
  ZipCallCommon common;
  char* temp_dir;
  char* comment;
  uint16_t archive_only;
  uint16_t reset_archive;
  ZipFileSpecRecord* specs;
  int32_t reserved144;
  int32_t exclude_count;
  char** excludes;
  int32_t reserved156[8];
  int32_t delete_to_trash;
  uint16_t code_page;
  uint8_t reserved194[18];
  int32_t marker;
};

// --- the callback record -------------------------------------------------------------------

// Written by the engine, read and partly rewritten by the callback.
//   32-bit 64-bit  size    content
//    0      0      ptr     window (not read by the component)
//    4      8      ptr     the component that made the call (the call record's caller)
//    8     16      4       version (not read by the component)
//   12     20      4       non-zero when the running operation writes an archive
//   16     24      4       action (ZipCallbackAction); the callback may set it to 0
//   20     28      4       error code or flags in, an answer out
//   24     32      ptr     a size or count in, an answer out; pointer-sized because the
//                          answer to a buffer request is an address
//   28     40      512     zero-terminated file name or message in, answer text out
//  540    552              (end)
struct ZipCallbackRecord {
  void* window;
  void* caller;
  int32_t version;
  int32_t zip_side;
  int32_t action;
  int32_t error_code;
  intptr_t size;
  char text[kZipCallbackTextSize];
};

// --- entry points --------------------------------------------------------------------------

// Both are exported unmangled (extern "C") under the names below.
// The engine's version number.
using GetZipEngVersionFunc = int32_t(ZIPENG_CALL*)();
// Adds files as the call record says; returns the number of files processed. The record's
// address is that of its common part; the layout follows from the engine's version. Calls the
// callback synchronously, on the calling thread, while it works.
using ZipEngExecFunc = int32_t(ZIPENG_CALL*)(ZipCallCommon* record);

constexpr const char* kZipEngineLibrary = "ZIPENG.DLL";
constexpr const char* kGetZipEngVersionName = "GetZipEngVersion";
constexpr const char* kZipEngExecName = "ZipEngExec";

// --- layout checks -------------------------------------------------------------------------

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(ZipCallCommon, callback) == 12 && offsetof(ZipCallCommon, password) == 20 &&
              offsetof(ZipCallCommon, store_suffixes) == 24 && offsetof(ZipCallCommon, level) == 60 &&
              offsetof(ZipCallCommon, junk_dirs) == 72 && offsetof(ZipCallCommon, recurse) == 76 &&
              offsetof(ZipCallCommon, always_true80) == 80 && offsetof(ZipCallCommon, update) == 96 &&
              offsetof(ZipCallCommon, freshen) == 100 && offsetof(ZipCallCommon, latest_time) == 108 &&
              offsetof(ZipCallCommon, spec_count) == 120 && offsetof(ZipCallCommon, archive) == 124 &&
              sizeof(ZipCallCommon) == 128);
static_assert(offsetof(ZipCallRecordOld, marker) == 128 && offsetof(ZipCallRecordOld, specs) == 132 &&
              sizeof(ZipCallRecordOld) == 16520);
static_assert(offsetof(ZipCallRecordNew, temp_dir) == 128 && offsetof(ZipCallRecordNew, comment) == 132 &&
              offsetof(ZipCallRecordNew, archive_only) == 136 && offsetof(ZipCallRecordNew, reset_archive) == 138 &&
              offsetof(ZipCallRecordNew, specs) == 140 && offsetof(ZipCallRecordNew, exclude_count) == 148 &&
              offsetof(ZipCallRecordNew, excludes) == 152 && offsetof(ZipCallRecordNew, delete_to_trash) == 188 &&
              offsetof(ZipCallRecordNew, code_page) == 192 && offsetof(ZipCallRecordNew, marker) == 212 &&
              sizeof(ZipCallRecordNew) == 216);
static_assert(offsetof(ZipFileSpecRecord, password) == 12 && offsetof(ZipFileSpecRecord, encrypt) == 16 &&
              offsetof(ZipFileSpecRecord, recurse) == 20 && offsetof(ZipFileSpecRecord, root_dir) == 36 &&
              sizeof(ZipFileSpecRecord) == 104);
static_assert(offsetof(ZipCallbackRecord, zip_side) == 12 && offsetof(ZipCallbackRecord, action) == 16 &&
              offsetof(ZipCallbackRecord, error_code) == 20 && offsetof(ZipCallbackRecord, size) == 24 &&
              offsetof(ZipCallbackRecord, text) == 28 && sizeof(ZipCallbackRecord) == 540);
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(offsetof(ZipCallCommon, callback) == 24 && offsetof(ZipCallCommon, password) == 40 &&
              offsetof(ZipCallCommon, level) == 88 && offsetof(ZipCallCommon, recurse) == 104 &&
              offsetof(ZipCallCommon, spec_count) == 148 && offsetof(ZipCallCommon, archive) == 152 &&
              sizeof(ZipCallCommon) == 160);
static_assert(offsetof(ZipCallRecordOld, specs) == 168 && sizeof(ZipCallRecordOld) == 32944);
static_assert(offsetof(ZipCallRecordNew, specs) == 184 && offsetof(ZipCallRecordNew, excludes) == 200 &&
              offsetof(ZipCallRecordNew, delete_to_trash) == 240 && offsetof(ZipCallRecordNew, code_page) == 244 &&
              offsetof(ZipCallRecordNew, marker) == 264 && sizeof(ZipCallRecordNew) == 272);
static_assert(offsetof(ZipFileSpecRecord, encrypt) == 24 && offsetof(ZipFileSpecRecord, root_dir) == 48 &&
              sizeof(ZipFileSpecRecord) == 120);
static_assert(offsetof(ZipCallbackRecord, size) == 32 && offsetof(ZipCallbackRecord, text) == 40 &&
              sizeof(ZipCallbackRecord) == 552);
#endif

}  // namespace tavrik
