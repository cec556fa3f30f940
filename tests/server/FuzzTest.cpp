#include <gtest/gtest.h>

#include <random>

#include "core/StrUtils.h"
#include "fuzz/SessionFuzzer.h"
#include "proto/MvFrame.h"

namespace tavrik::server {
namespace {

// Client streams that are mostly well-formed, so the session gets past the header checks and
// into the commands, with damage sprinkled in: bad names, wrong sizes, flipped bytes, cut ends.
class TStreamMaker {
 public:
  explicit TStreamMaker(uint32_t seed) : random_(seed) {}

  std::string Next() {
    std::string stream(1, static_cast<char>(Pick(256)));
    int frames = static_cast<int>(Pick(6));
    for (int i = 0; i < frames; ++i) stream += Frame();
    if (Pick(4) == 0 && stream.size() > 1) stream.resize(1 + Pick(stream.size() - 1));  // cut anywhere
    for (size_t flips = Pick(3) == 0 ? Pick(4) : 0; flips > 0 && stream.size() > 1; --flips)
      stream[1 + Pick(stream.size() - 1)] = static_cast<char>(Pick(256));
    return stream;
  }

 private:
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

  std::string Name() {
    static const char* names[] = {"a.txt", "../x", "a/b", "a\\b", "", "   ", "..", ".", ".marvekd-1.part",
                                  "PORTAL_quorvale.zip", "x\x01y", "\xff\xfe"};
    std::string n = names[Pick(std::size(names))];
    if (Pick(8) == 0) n += std::string(1, '\0');
    return n;
  }

  std::string Fields() {
    static const char* areas[] = {"Files", "FILES", "Nope", ""};
    std::string f = PadRight(areas[Pick(std::size(areas))], 255) + PadRight(Name(), 255);
    if (Pick(6) == 0) f.resize(Pick(f.size() + 1));
    return f;
  }

  std::string Hex8() { return IntToHex(static_cast<int64_t>(Pick(3) ? Pick(12) : random_()), 8); }

  // A work-area request: mostly well-formed arguments for its command, now and then not.
  std::string AreaPayload(const std::string& code) {
    static const char* tables[] = {"T.DBF", "t", "NOPE.DBF", "../T.DBF", ".", "T.DBF\x01"};
    static const char* fields[] = {"N", "NAME", "NOTE", "nope", ""};
    const std::string field = fields[Pick(std::size(fields))];
    if (code == "0469") {
      std::string use = TSessionFuzzer::UseFrame(tables[Pick(std::size(tables))], Pick(3) ? "" : "BYNAME");
      use = use.substr(kFrameHeaderSize);
      if (Pick(4) == 0) use[510 + Pick(2)] = static_cast<char>('0' + Pick(10));  // open mode, table type
      return use;
    }
    if (code == "0626") {
      std::string q = std::string(Pick(2) ? "Y" : "N") + (Pick(4) ? "N" : "Y") + std::to_string(Pick(3)) +
                      std::to_string(Pick(4)) + std::to_string(Pick(3)) + IntToHex(static_cast<int64_t>(Pick(60)), 8) + Hex8();
      return q;
    }
    if (code == "0493" || code == "0509" || code == "0510") return Hex8();
    if (code == "0504" || code == "0507" || code == "0518") return IntToHex(static_cast<int64_t>(Pick(5)), 4);
    if (code == "0502" || code == "0530" || code == "0612") return std::to_string(static_cast<int>(Pick(12)) - 2);
    if (code == "0499") return std::string(Pick(2) ? 31 : Pick(64), Pick(2) ? ' ' : 'x');
    if (code == "0501") return PadRight(field, 10) + IntToHex(Pick(2) ? 1024 : static_cast<int64_t>(Pick(2000)), 4) + "42";
    if (code == "0498") return PadRight(field, 10) + IntToHex(static_cast<int64_t>(Pick(8)), 8) + std::string(Pick(8), 'm');
    if (code == "0567") return "00010002" + PadRight("n", 255) + PadRight("na", 255);
    if (code == "0558") return Pick(2) ? "0.5" : "1,5e3";
    if (code == "0646" || code == "0543" || code == "0544") return Pick(2) ? "N > 2" : "N >";
    return field;
  }

  std::string Frame() {
    static const char* codes[] = {"0464", "0465", "0037", "0038", "0054", "0055", "0577", "0566", "0515", "9999",
                                  "0469", "0469", "0626", "0626", "0493", "0509", "0504", "0507", "0518", "0502",
                                  "0510", "0530", "0612", "0499", "0501", "0498", "0624", "0567", "0558", "0646",
                                  "0543", "0544", "0473", "0523", "0581", "0492", "0503", "0477", "0587"};
    std::string code = codes[Pick(std::size(codes))];
    std::string payload;
    if (code[1] != '0')
      payload = AreaPayload(code);
    else if (code == "0464")
      payload = TSessionFuzzer::LoginFrame().substr(kFrameHeaderSize, Pick(2) ? std::string::npos : Pick(1800));
    else if (code == "0037")
      payload = Fields() + std::string(Pick(3) == 0 ? Pick(300000) : Pick(100), 'd');
    else if (code == "0465")
      payload = PadRight("PORTAL", 10);
    else
      payload = Fields();
    uint32_t length = static_cast<uint32_t>(payload.size());
    if (Pick(10) == 0) length = static_cast<uint32_t>(random_());  // a claim that is not the truth
    std::string pack = Pick(20) == 0 ? "0001" : "0000";
    return IntToHex(length, 8) + pack + "0000" + code + payload;
  }

  std::mt19937 random_;
};

TEST(SessionFuzz, ThousandsOfDamagedStreamsBreakNoRule) {
  TSessionFuzzer fuzzer;
  TStreamMaker maker(20240501);
  for (int i = 0; i < 3000; ++i) {
    std::string stream = maker.Next();
    fuzzer.Run(reinterpret_cast<const uint8_t*>(stream.data()), stream.size());
  }
}

TEST(SessionFuzz, PlainRandomBytes) {
  TSessionFuzzer fuzzer;
  std::mt19937 random(7);
  for (int i = 0; i < 2000; ++i) {
    std::string bytes(std::uniform_int_distribution<size_t>(0, 200)(random), '\0');
    for (auto& b : bytes) b = static_cast<char>(random());
    fuzzer.Run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
}

}  // namespace
}  // namespace tavrik::server
