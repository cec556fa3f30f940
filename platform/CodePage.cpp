#include "platform/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace tavrik::platform {

namespace {

const char* OemName(TOemCodePage page) { return page == TOemCodePage::cp437 ? "CP437" : "CP850"; }

// Converts with iconv; an input byte that cannot be converted, or a character the target lacks,
// becomes "?".
std::string Convert(const std::string& text, const char* from, const char* to) {
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
  const bool from_utf8 = std::string(from) == "UTF-8";
  std::string out;
  out.reserve(text.size() * 2);
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char buf[1024];
  while (in_left > 0) {
    char* o = buf;
    size_t o_left = sizeof buf;
    size_t r = ::iconv(cd, &in, &in_left, &o, &o_left);
    out.append(buf, static_cast<size_t>(o - buf));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ / EINVAL: skip the offending character (all of a UTF-8 sequence) and mark it.
      out.push_back('?');
      ++in;
      --in_left;
      if (from_utf8)
        while (in_left > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) ++in, --in_left;
      ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  ::iconv_close(cd);
  return out;
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) { return Convert(ansi, "WINDOWS-1252", "UTF-8"); }
std::string Utf8ToAnsi(const std::string& utf8) { return Convert(utf8, "UTF-8", "WINDOWS-1252"); }
std::string OemToAnsi(const std::string& oem, TOemCodePage page) { return Convert(oem, OemName(page), "WINDOWS-1252"); }
std::string AnsiToOem(const std::string& ansi, TOemCodePage page) { return Convert(ansi, "WINDOWS-1252", OemName(page)); }

bool IsUtf8(const std::string& text) {
  size_t follow = 0;  // continuation bytes still due
  for (unsigned char c : text) {
    if (follow > 0) {
      if ((c & 0xC0) != 0x80) return false;
      --follow;
    } else if (c >= 0x80) {
      if ((c & 0xE0) == 0xC0 && c >= 0xC2)
        follow = 1;
      else if ((c & 0xF0) == 0xE0)
        follow = 2;
      else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
        follow = 3;
      else
        return false;
    }
  }
  return follow == 0;
}

}  // namespace tavrik::platform
