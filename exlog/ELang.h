// The 71 customisable texts of the exception logger (captions, labels, messages), by index,
// and the names of the indexes that the code uses.
#pragma once

#include <array>
#include <string>

namespace tavrik::exlog {

enum TTextIndex : int {
  txInformation = 0, txQuestion = 1, txError = 2, txDialogMessage = 3,
  txGeneral = 4, txGeneralInfo = 5, txCallStack = 6, txCallStackInfo = 7, txModules = 8, txModulesInfo = 9,
  txCpu = 10, txCpuInfo = 11, txOk = 12, txTerminate = 13, txRestart = 14, txDetails = 15,
  txSendEmail = 16, txAttachScreenshot = 17, txCopyToClipboard = 18,
  txApplication = 19,  // group 1 title; its fields follow (20..23)
  txException = 24,    // group 2 title; fields 25..29
  txActiveControls = 30,  // group 3; fields 31..34
  txComputer = 35,        // group 4; fields 36..41
  txOperatingSystem = 42,  // group 5; fields 43..46
  txStackAddress = 47,  // call stack columns 47..52
  txSmtp = 53, txSmtpMessage = 54, txResolvingMx = 55, txConnecting = 56, txConnected = 57, txSending = 58,
  txRequest = 59, txReproduceSteps = 60, txRequestOk = 61,
  txModuleHandle = 62,  // modules columns 62..67
  txRegisters = 68, txStack = 69, txMemoryDump = 70,
};

constexpr int kCustomizedTextCount = 71;

class TCustomizedTexts {
 public:
  TCustomizedTexts();
  const std::string& operator[](int index) const { return texts_.at(static_cast<size_t>(index)); }
  std::string& operator[](int index) { return texts_.at(static_cast<size_t>(index)); }
  bool operator==(const TCustomizedTexts&) const = default;

 private:
  std::array<std::string, kCustomizedTextCount> texts_;
};

}  // namespace tavrik::exlog
