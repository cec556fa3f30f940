// The ZIP component's numbered messages: the numbers, how a number becomes a text (the
// program's own text for it when there is one, else a fallback), and EZipwright, the error that
// carries a number. The program has texts only for the password dialog; for every other number
// the user reads the general fallback, which names the number.
#pragma once

#include <optional>
#include <string>

#include "core/Exception.h"

namespace tavrik {

enum TZipMessage : int {
  zmException = 10101,            // an error while the engine call is prepared or runs
  zmNoZipFileName = 10102,
  zmOutOfMemory = 10103,
  zmPasswordsDiffer = 10104,
  zmCopying = 10105,
  zmPasswordUnattendedAdd = 10150,
  zmPasswordUnattendedExtract = 10151,
  zmPwdOkButton = 10152,
  zmPwdCancelButton = 10153,
  zmPwdCaption = 10154,
  zmPwdPrompt = 10155,
  zmPwdConfirmPrompt = 10156,
  zmPwdCancelAllButton = 10157,
  zmPwdAbortButton = 10158,
  zmCentralSeek = 10201,          // the central directory cannot be reached, an extra field is short
  zmDirectoryError = 10202,       // any other error while the directory is read
  zmDataInFront = 10203,          // a warning
  zmBytesAfterEnd = 10204,        // a warning
  zmNoFileSpecs = 10301,
  zmNoPasswordUnattended = 10302,
  zmSpanWithUpdate = 10303,
  zmSfxCreate = 10304,
  zmEngineLoaded = 10601,
  zmNoZipEngExec = 10602,
  zmNoGetZipEngVersion = 10603,
  zmEngineLoadFailed = 10604,
  zmOpenArchive = 11001,
  zmDriveLetter = 11003,
  zmDriveUnusable = 11004,
  zmSeekEnd = 11008,
  zmReadEnd = 11011,
  zmCentralShort = 11013,
  zmCentralSignature = 11015,
  zmNameShort = 11017,
  zmCommentShort = 11022,
  zmNoSpaceOnDisk = 11032,
  zmInsertLastDisk = 11033,
  zmInsertDiskOf = 11034,
  zmInDrive = 11035,
  zmNoEndRecord = 11036,
  zmNoEndRecordDisk1 = 11037,
  zmNoEndRecordOnDisk = 11038,
  zmOverwriteFile = 11039,
  zmOverwriteDisk = 11040,
  zmSpanToExe = 11041,
  zmNoEndRecordSpanned = 11045,
  zmInsertDisk = 11046,
  zmCentralDirectory = 11047,
};

// The program's own text for `number`, if it has one.
std::optional<std::string> ZipResourceText(int number);
// "ZipTextXX.res is probably not linked to the executable", a line feed, "Missing String ID is: "
// and the number.
std::string ZipGeneralFallback(int number);
// The program's text for `number`, else `fallback`.
std::string ZipMessageText(int number, const std::string& fallback);
// The program's text for `number`, else the number's own fallback text where it has one, else
// the general fallback.
std::string ZipMessageText(int number);

// An error with a message number, raised inside the component and reported where the operation
// ends. Its message is the program's text for the number with the argument put in for its first
// "%d" or "%s"; without a text it is the general fallback (the argument is then not shown).
class EZipwright : public Exception {
 public:
  EZipwright(int number, bool display);
  EZipwright(int number, int argument);
  EZipwright(int number, const std::string& argument);
  const char* ClassName() const noexcept override { return "EZipwright"; }

  int Number() const { return number_; }
  // Whether the message is shown in a message box where it is reported.
  bool Display() const { return display_; }

 private:
  int number_;
  bool display_;
};

}  // namespace tavrik
