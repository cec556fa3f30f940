// Drives one marvekd session with arbitrary client bytes, in memory, and checks what it must
// never do whatever arrives: crash, hang, write a frame that is not a well-formed reply or
// notice, leave a partial upload behind, or leave a table open or locked after the session. A
// broken rule aborts the process, which is what libFuzzer and the tests look for.
//
// Input: byte 0 chooses the start (bit 0 set: a valid login for PORTAL goes first; bits 1-3:
// the size of the pieces the channel hands out, 1 << n bytes; bit 4 set: after the login, a Use
// of the table T.DBF of the database FILES); the rest is the client's stream. T.DBF has the
// fields N (N 5), NAME (C 10) and NOTE (M), a few records and the order BYNAME.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrik::server {

class TSessionFuzzer {
 public:
  TSessionFuzzer();   // a fresh file area under the temporary folder
  ~TSessionFuzzer();  // removes it
  TSessionFuzzer(const TSessionFuzzer&) = delete;
  TSessionFuzzer& operator=(const TSessionFuzzer&) = delete;

  void Run(const uint8_t* data, size_t size);
  // The login frame that bit 0 of byte 0 puts first, for building inputs.
  static std::string LoginFrame();
  // A Use request frame for `table` of the database FILES, opened shared.
  static std::string UseFrame(const std::string& table, const std::string& index = "");

 private:
  std::string dir_;
  std::string data_;
};

}  // namespace tavrik::server
