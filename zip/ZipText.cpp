#include "zip/ZipText.h"

#include <map>

namespace tavrik {

namespace {

// The program's texts: the password dialog's caption, prompts and buttons.
const std::map<int, std::string>& ResourceTexts() {
  static const std::map<int, std::string> texts = {
      {zmPwdOkButton, "OK"},
      {zmPwdCancelButton, "Annuleren"},
      {zmPwdCaption, "Wachtwoord"},
      {zmPwdPrompt, "Geef het wachtwoord:"},
      {zmPwdConfirmPrompt, "Geef het wachtwoord nogmaals:"},
      {zmPwdCancelAllButton, "Geen meer"},
      {zmPwdAbortButton, "Afbreken"},
  };
  return texts;
}

// Numbers whose fallback is a text of its own.
const std::map<int, std::string>& OwnFallbacks() {
  static const std::map<int, std::string> texts = {
      {zmCopying, "Copying: "},
      {zmNoSpaceOnDisk, "This disk has not enough free space available"},
      {zmInsertLastDisk, "Please insert last disk in set"},
      {zmInsertDiskOf, "Please insert disk volume %.1d of %.1d"},
      {zmInDrive, "\r\nin drive: %s"},
      {zmOverwriteFile, "Overwrite previous file %s"},
      {zmOverwriteDisk, "Overwrite previous disk no %d"},
      {zmInsertDisk, "Please insert disk volume %.1d"},
      {zmCentralDirectory, "Central directory"},
  };
  return texts;
}

std::string WithArgument(int number, const std::string& argument) {
  std::optional<std::string> text = ZipResourceText(number);
  if (!text) return ZipGeneralFallback(number);
  for (const char* placeholder : {"%d", "%s"}) {
    size_t at = text->find(placeholder);
    if (at != std::string::npos) return text->replace(at, 2, argument);
  }
  return *text;
}

}  // namespace

std::optional<std::string> ZipResourceText(int number) {
  auto it = ResourceTexts().find(number);
  if (it == ResourceTexts().end()) return std::nullopt;
  return it->second;
}

std::string ZipGeneralFallback(int number) {
  return "ZipTextXX.res is probably not linked to the executable\nMissing String ID is: " + std::to_string(number);
}

std::string ZipMessageText(int number, const std::string& fallback) {
  return ZipResourceText(number).value_or(fallback);
}

std::string ZipMessageText(int number) {
  auto own = OwnFallbacks().find(number);
  return ZipMessageText(number, own != OwnFallbacks().end() ? own->second : ZipGeneralFallback(number));
}

EZipwright::EZipwright(int number, bool display)
    : Exception(ZipResourceText(number).value_or(ZipGeneralFallback(number))), number_(number), display_(display) {}

EZipwright::EZipwright(int number, int argument)
    : Exception(WithArgument(number, std::to_string(argument))), number_(number), display_(true) {}

EZipwright::EZipwright(int number, const std::string& argument)
    : Exception(WithArgument(number, argument)), number_(number), display_(true) {}

}  // namespace tavrik
