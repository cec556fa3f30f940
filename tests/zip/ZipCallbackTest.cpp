// The component's callback, called as an engine calls it: each action, its events and answers,
// the password requests with their dialog, and the answer "stop".
#include <gtest/gtest.h>

#include <cstring>

#include "platform/MessagePump.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/zip/ZipTestSupport.h"
#include "zip/ZCallBck.h"
#include "zip/ZipWrt.h"

namespace tavrik {
namespace {

using testing::ScriptedPasswordDialog;

class CallbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_pump_ = platform::SetProcessMessages([this] { ++pumped; });
    zip.OnMessage = [this](TComponent*, int code, const std::string& text) { messages.emplace_back(code, text); };
  }
  void TearDown() override { platform::SetProcessMessages(previous_pump_); }

  int32_t Call(int32_t action, int32_t error_code = 0, intptr_t size = 0, const std::string& text = "") {
    record = ZipCallbackRecord{};
    record.caller = &zip;
    record.action = action;
    record.error_code = error_code;
    record.size = size;
    std::memcpy(record.text, text.data(), std::min(text.size(), sizeof record.text));
    return ZipCallbackEntry(&record);
  }
  std::string Answer() const { return std::string(record.text, strnlen(record.text, sizeof record.text)); }

  TZipwright zip;
  ZipCallbackRecord record{};
  int pumped = 0;
  std::vector<std::pair<int, std::string>> messages;

 private:
  std::function<void()> previous_pump_;
};

TEST_F(CallbackTest, ProgressActionsBecomeProgressEvents) {
  struct Seen {
    ProgressType type;
    std::string name;
    int64_t size;
    bool operator==(const Seen&) const = default;
  };
  std::vector<Seen> seen;
  zip.OnProgress = [&](TComponent* sender, ProgressType type, const std::string& name, int64_t size) {
    EXPECT_EQ(sender, &zip);
    seen.push_back({type, name, size});
  };
  EXPECT_EQ(Call(zcaTotalFiles, 0, 2), 0);
  EXPECT_EQ(Call(zcaTotalSize, 0, intptr_t{5} << 31), 0);
  EXPECT_EQ(Call(zcaNewFile, 0, 700, "data/sub/file.db  \t\r\n"), 0);
  EXPECT_EQ(Call(zcaProgress, 0, 300, "ignored"), 0);
  EXPECT_EQ(Call(zcaEndOfBatch, 0, 99), 0);
  EXPECT_EQ(Call(99), 0);  // an action the component does not know does nothing
  const std::vector<Seen> expected = {{ProgrTotalFiles, "", 2},
                                      {ProgrTotalSize, "", int64_t{5} << 31},
                                      {ProgrNewFile, "data/sub/file.db", 700},
                                      {ProgrUpdate, "", 300},
                                      {ProgrEndOfBatch, "", 0}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(pumped, 6);  // the message queue runs once per callback
}

TEST_F(CallbackTest, WithoutHandlersOnlyTheKeptStateChanges) {
  zip.OnMessage = nullptr;
  for (int32_t action : {zcaTotalFiles, zcaTotalSize, zcaNewFile, zcaProgress, zcaEndOfBatch})
    EXPECT_EQ(Call(action, 0, 10, "x"), 0);
  EXPECT_EQ(zip.LastErrorCode(), 0);
  EXPECT_EQ(Call(zcaMessage, 0x0A02, 0, "cannot read a.txt"), 0);
  EXPECT_EQ(zip.LastMessage(), "cannot read a.txt");
  EXPECT_EQ(zip.LastErrorCode(), 2);  // the low byte
  EXPECT_EQ(zip.LastFullErrorCode(), 0x0A02);
  Call(zcaMessage, 0, 0, "adding: b.txt");
  EXPECT_EQ(zip.LastMessage(), "adding: b.txt");
  EXPECT_EQ(zip.LastErrorCode(), 2);  // a message without a code leaves the codes
}

TEST_F(CallbackTest, EngineMessagesReachOnMessageWithTheirCode) {
  Call(zcaMessage, 0x1102, 0, "Not found: /x/y");
  EXPECT_EQ(messages, (std::vector<std::pair<int, std::string>>{{0x1102, "Not found: /x/y"}}));
}

TEST_F(CallbackTest, NewNameAnswers) {
  EXPECT_EQ(Call(zcaNewName, 7, 0, "a/b.txt"), 0);
  EXPECT_EQ(record.error_code, 7);  // no handler: the record is left as it was
  zip.OnSetNewName = [](TComponent*, std::string& name, bool& changed) {
    EXPECT_EQ(name, "a/b.txt");
    EXPECT_FALSE(changed);
    name = std::string(600, 'n');
    changed = true;
  };
  Call(zcaNewName, 7, 0, "a/b.txt");
  EXPECT_EQ(record.error_code, 1);
  EXPECT_EQ(Answer(), std::string(511, 'n'));
  zip.OnSetNewName = [](TComponent*, std::string& name, bool&) { name = "ignored"; };
  Call(zcaNewName, 7, 0, "a/b.txt");
  EXPECT_EQ(record.error_code, 0);
  EXPECT_EQ(Answer(), "a/b.txt");
}

TEST_F(CallbackTest, ExtractionQuestionsAnswers) {
  Call(zcaCrcError, 0x1234, 0x5678, "f");
  EXPECT_EQ(record.error_code, 2);  // no handler
  zip.OnCRC32Error = [](TComponent*, const std::string& file, uint32_t found, uint32_t expected, bool& extract) {
    EXPECT_EQ(file, "f");
    EXPECT_EQ(found, 0x1234u);
    EXPECT_EQ(expected, 0x5678u);
    EXPECT_TRUE(extract);
    extract = false;
  };
  Call(zcaCrcError, 0x1234, 0x5678, "f");
  EXPECT_EQ(record.error_code, 0);

  Call(zcaOverwrite, 0, 0x1FF);
  EXPECT_EQ(record.size, 0x1FF);  // no handler
  zip.OnExtractOverwrite = [](TComponent*, const std::string&, bool older, bool& overwrite, int index) {
    EXPECT_TRUE(older);
    EXPECT_EQ(index, 5);
    EXPECT_TRUE(overwrite);
    overwrite = false;
  };
  Call(zcaOverwrite, 1 << 16 | 5, 0x101);
  EXPECT_EQ(record.size, 0);

  int skip_type = -1, ext_error = -1;
  zip.OnExtractSkipped = [&](TComponent*, const std::string&, int type, int error) {
    skip_type = type;
    ext_error = error;
  };
  Call(zcaSkipped, 0x305, 0x104);
  EXPECT_EQ(skip_type, 3);
  EXPECT_EQ(ext_error, 0x305);
  EXPECT_EQ(zip.LastErrorCode(), 5);
  EXPECT_EQ(zip.LastFullErrorCode(), 0x305);
}

TEST_F(CallbackTest, FileCommentAnswers) {
  Call(zcaFileComment, 3, 9, "f");
  EXPECT_EQ(record.error_code, 3);  // no handler
  zip.OnFileComment = [](TComponent*, const std::string& file, std::string& comment, bool& changed) {
    EXPECT_EQ(file, "f");
    EXPECT_EQ(comment, std::string(1, '\0'));  // one character: byte 256 of the text
    comment = std::string(700, 'c');
    changed = true;
  };
  Call(zcaFileComment, 3, 9, "f");
  EXPECT_EQ(record.error_code, 1);
  EXPECT_EQ(record.size, 511);
  EXPECT_EQ(Answer(), std::string(511, 'c'));
  zip.OnFileComment = [](TComponent*, const std::string&, std::string& comment, bool&) { comment = "unused"; };
  Call(zcaFileComment, 3, 9, "f");
  EXPECT_EQ(record.error_code, 0);
  EXPECT_EQ(record.text[0], '\0');
  EXPECT_EQ(record.size, 6);
}

TEST_F(CallbackTest, BufferRequestsGiveAnAddress) {
  Call(zcaBufferRequest, 0, 4096);
  ASSERT_NE(record.size, 0);
  // The engine may write into it.
  std::memset(reinterpret_cast<void*>(record.size), 0xAB, 4096);
  Call(zcaBufferRequest, 1, 16);
  EXPECT_EQ(record.size, 16);  // resized, address not given
  Call(zcaBufferRequest, 0, -1);
  EXPECT_EQ(record.error_code, 1);
  EXPECT_EQ(record.size, 0);
  Call(zcaBufferRequest, 0, INTPTR_MAX);  // far more than any engine needs: refused, never tried
  EXPECT_EQ(record.error_code, 1);
  EXPECT_EQ(record.size, 0);
}

TEST_F(CallbackTest, AnswersStopOnceCancelIsSetAndForStrangers) {
  EXPECT_EQ(Call(zcaProgress), 0);
  zip.SetCancel(true);
  EXPECT_EQ(Call(zcaProgress), -1);
  EXPECT_EQ(Call(zcaMessage, 0, 0, "x"), -1);
  int stranger = 0;
  record = ZipCallbackRecord{};
  record.caller = &stranger;
  record.action = zcaProgress;
  EXPECT_EQ(ZipCallbackEntry(&record), -1);
  EXPECT_EQ(ZipCallbackEntry(nullptr), -1);
}

TEST_F(CallbackTest, PasswordRequestsWithTheDialog) {
  struct Case {
    const char* name;
    bool adding;
    std::vector<std::pair<TPasswordButton, std::string>> answers;
    std::string password;  // the answer written back
    size_t dialogs;
    std::vector<int> messages;
  };
  const Case cases[] = {
      {"adding, the same twice", true, {{pbOK, "geheim"}, {pbOK, "geheim"}}, "geheim", 2, {}},
      {"adding, two different", true, {{pbOK, "geheim"}, {pbOK, "Geheim"}}, "", 2, {zmPasswordsDiffer}},
      {"adding, cancelled first", true, {{pbCancel, "typed"}}, "", 1, {}},
      {"adding, empty first", true, {{pbOK, ""}}, "", 1, {}},
      {"adding, cancelled second", true, {{pbOK, "a"}, {pbCancel, "a"}}, "", 2, {}},
      {"extracting, once", false, {{pbOK, "sesam"}}, "sesam", 1, {}},
      {"extracting, cancel all", false, {{pbCancelAll, "x"}}, "", 1, {}},
      {"long passwords are cut", false, {{pbOK, std::string(90, 'p')}}, std::string(80, 'p'), 1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPasswordDialog dialog;
    testing::ScriptedDialogs boxes;
    messages.clear();
    for (const auto& [button, text] : c.answers) dialog.Answer(button, text);
    EXPECT_EQ(Call(zcaPassword, c.adding ? 1 : 0, 3, "secret.db"), 0);
    EXPECT_EQ(dialog.shown.size(), c.dialogs);
    EXPECT_EQ(Answer(), c.password.empty() ? "secret.db" : c.password);
    EXPECT_EQ(record.error_code, c.password.empty() ? 0 : 1);
    EXPECT_EQ(record.size, c.password.empty() ? 0 : 3);
    std::vector<int> numbers;
    if (!messages.empty()) numbers.push_back(zip.LastErrorCode());
    EXPECT_EQ(numbers, c.messages);
    EXPECT_EQ(boxes.messages.size(), c.messages.size());
    ASSERT_FALSE(dialog.shown.empty());
    const TPasswordDlgView& first = dialog.shown[0];
    EXPECT_EQ(first.caption, "Wachtwoord");
    EXPECT_EQ(first.prompt, "Geef het wachtwoord:");
    EXPECT_EQ(first.buttons, c.adding ? (pbbOK | pbbCancel) : (pbbOK | pbbCancel | pbbCancelAll));
    EXPECT_EQ(first.button_text[pbOK], "OK");
    if (c.dialogs == 2) {
      EXPECT_EQ(dialog.shown[1].prompt, "Geef het wachtwoord nogmaals:");
    }
    EXPECT_EQ(record.action, std::string(c.name).find("cancel all") != std::string::npos ? 0 : zcaPassword);
  }
}

TEST_F(CallbackTest, PasswordRequestsUnattended) {
  zip.SetUnattended(true);
  ScriptedPasswordDialog dialog;  // never shown
  Call(zcaPassword, 1, 1, "f");
  EXPECT_EQ(zip.LastErrorCode(), zmPasswordUnattendedAdd);
  EXPECT_EQ(record.error_code, 0);
  Call(zcaPassword, 0, 1, "f");
  EXPECT_EQ(zip.LastErrorCode(), zmPasswordUnattendedExtract);
  EXPECT_TRUE(dialog.shown.empty());
  EXPECT_EQ(messages.size(), 2u);
}

TEST_F(CallbackTest, PasswordRequestsThroughTheHandler) {
  struct Case {
    const char* name;
    TPasswordButton action;
    uint32_t repeat_in, repeat_out;
    int32_t answer, action_field, error_code;
  };
  const Case cases[] = {
      {"ok", pbOK, 20, 15, 0, zcaPassword, 1},
      {"cancel", pbCancel, 2, 0, 0, zcaPassword, 0},
      {"cancel all", pbCancelAll, 2, 0, 0, 0, 0},
      {"abort", pbAbort, 2, 0, -1, zcaPassword, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    zip.SetCancel(false);
    zip.OnPasswordError = [&](TComponent*, bool is_zip, std::string& password, const std::string& file,
                              uint32_t& repeat, TPasswordButton& action) {
      EXPECT_TRUE(is_zip);
      EXPECT_EQ(file, "dir/f");
      EXPECT_EQ(repeat, c.repeat_in);
      password = "handler";
      action = c.action;
    };
    record = ZipCallbackRecord{};
    record.caller = &zip;
    record.zip_side = 1;
    record.action = zcaPassword;
    record.size = c.repeat_in;
    std::strcpy(record.text, "dir/f");
    EXPECT_EQ(ZipCallbackEntry(&record), c.answer);
    EXPECT_EQ(record.size, c.repeat_out);
    EXPECT_EQ(record.error_code, c.error_code);
    EXPECT_EQ(record.action, c.action_field);
    if (c.action == pbOK) {
      EXPECT_EQ(Answer(), "handler");
    }
    if (c.action == pbAbort) {
      EXPECT_EQ(Call(zcaProgress), -1);  // and every later call
    }
  }
}

TEST_F(CallbackTest, ATextWithoutZeroEndsWithTheField) {
  std::string seen;
  zip.OnProgress = [&](TComponent*, ProgressType, const std::string& name, int64_t) { seen = name; };
  record = ZipCallbackRecord{};
  record.caller = &zip;
  record.action = zcaNewFile;
  std::memset(record.text, 'x', sizeof record.text);
  ZipCallbackEntry(&record);
  EXPECT_EQ(seen, std::string(512, 'x'));
}

}  // namespace
}  // namespace tavrik
