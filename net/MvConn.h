// TMarvekConnection: the logged-in connection with a Marvek database server. It logs in when made
// active, offers the request/reply routines every server command is built on, handles the
// server's unsolicited notices, and sends the work-area commands of the tables.
//
// Ownership: the connection owns its poll timer and its incoming and outgoing streams. The
// stream returned by ClientStreamReceive, ClientStreamSendReceive, GetStructure is the incoming
// stream itself: valid until the next command. Events are called on the caller's thread.
//
// Failures: every command traps its errors and hands them to ReportError, which calls OnError
// when assigned (the command then returns its empty value: 0, false, empty text, no stream) and
// otherwise raises Exception("[" + command + "]" + message).
//
// Command files: MvConn.cpp (state, login, errors), MvConnXmit.cpp (request/reply routines),
// MvConnUse.cpp (opening tables), MvConnCommands.cpp (cursor and field commands),
// MvConnRecords.cpp (records, blobs, structure, batch reads), MvConnSettings.cpp (settings),
// MvConnFiles.cpp (files on the server, and the source of an upload: net/MvConnSource.h).
// Codes and payload layouts are the protocol's own, shared with the server (proto/).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Streams.h"
#include "net/MvConnSource.h"
#include "net/MvWin.h"
#include "platform/Timer.h"
#include "proto/MvCommands.h"
#include "proto/MvTraverse.h"
#include "proto/MvUse.h"

namespace tavrik {

using TSocketConnectionLoginEvent = std::function<void(TComponent* sender, bool login_accepted, const std::string& msg)>;
using TSocketConnectionLogoutEvent = std::function<void(TComponent* sender)>;
using TSocketConnectionErrorEvent =
    std::function<void(TComponent* sender, const std::string& command, const std::string& msg)>;
using TSocketConnectionServerMsgEvent = std::function<void(TComponent* sender, const std::string& msg)>;
using TSocketConnectionServerStreamEvent = std::function<void(TComponent* sender, TMemoryStream& stream)>;

class TMarvekConnection : public TMvSockClient {
 public:
  static constexpr const char* kVersion = "MarvekConnection 6.1.0.8";

  explicit TMarvekConnection(TComponent* owner = nullptr);
  ~TMarvekConnection() override;

  // --- properties ---
  void SetActive(bool value);
  const std::string& ServerName() const { return server_name_; }
  void SetServerName(std::string name) { server_name_ = std::move(name); }
  const std::string& GroupName() const { return group_name_; }
  void SetGroupName(std::string name) { group_name_ = std::move(name); }
  // Longest wait for each reply frame in milliseconds; 0 waits without limit.
  int TimeOut() const { return time_out_; }
  void SetTimeOut(int milliseconds);
  std::string Version() const { return kVersion; }
  void SetVersion(const std::string&) {}  // accepted and ignored
  // The pause after a shutdown notice before the socket is closed (milliseconds).
  int ShutdownWait() const { return shutdown_wait_; }
  void SetShutdownWait(int milliseconds) { shutdown_wait_ = milliseconds; }
  bool LoggedIn() const { return logged_in_; }
  uint16_t CurrentWorkArea() const { return work_area_; }
  // Set by tables and queries to their DatabaseName before the commands that need it.
  const std::string& DatabaseAlias() const { return database_alias_; }
  void SetDatabaseAlias(std::string alias) { database_alias_ = std::move(alias); }
  const std::string& SqlDirectory() const { return sql_directory_; }
  void SetSqlDirectory(std::string directory) { sql_directory_ = std::move(directory); }
  // The 1000 ms poll timer (a ManualTimer unless a timer factory is bound).
  platform::Timer& PollTimer() { return *poll_timer_; }
  TMemoryStream& InStream() { return in_stream_; }
  TMemoryStream& OutStream() { return out_stream_; }

  TSocketConnectionLoginEvent OnLogin;
  TSocketConnectionLogoutEvent OnLogout;
  TSocketConnectionErrorEvent OnError;
  TSocketConnectionServerMsgEvent OnServerMessage;
  TSocketConnectionServerStreamEvent OnServerStream;

  void Disconnect() override;

  // --- login and the request/reply routines ---
  bool Login();
  void Logout();
  std::string ClientXmit(const std::string& code, const std::string& payload, bool wait);
  TMemoryStream* ClientStreamReceive(const std::string& code, const std::string& payload);
  TMemoryStream* ClientStreamSendReceive(const std::string& code);
  // Reads frames until a reply arrives: its payload length (0 none), or -1 after a shutdown
  // notice. With `peek`, returns at once when nothing is waiting and after one notice.
  int64_t FillReadStream(bool peek);
  void ReportError(const std::string& command, const std::string& msg);
  void PollServer() { FillReadStream(true); }

  // --- opening tables ---
  int Use(const TMvUseParams& params, TMvTableInfo& info);
  int UseEx(const std::string& file, const std::string& alias, int open_mode, int table_type, int commit_level);
  std::string Alias(uint16_t work_area);
  int WorkArea(const std::string& alias);
  int Select(uint16_t work_area);
  void Close();

  // --- cursor ---
  int AppendBlank();
  bool Bof();
  bool Eof();
  bool Found();
  int Go(int32_t record);
  void GoBottom();
  void GoTop();
  void Skip(int32_t count);
  int RecNo();
  int RecCount();
  int Count();
  bool Seek(const std::string& key);
  void Delete();
  bool Deleted();
  void Commit();
  bool Rlock(int32_t record);
  void Unlock(int32_t record);
  void OrderPosSet(double position);

  // --- fields and expressions ---
  int FieldDecimals(const std::string& field);
  std::string FieldName(uint16_t number);
  int FieldOffset(const std::string& field);
  std::string FieldType(const std::string& field);
  int FieldWidth(const std::string& field);
  std::string GetDateString(const std::string& field);
  double GetDouble(const std::string& field);
  int GetInteger(const std::string& field);
  std::string GetTrimString(const std::string& field);
  std::string GetMemo(const std::string& field, uint16_t line_width);
  int GetBlobLength(const std::string& field);
  bool EvalLogical(const std::string& expression);
  double EvalNumeric(const std::string& expression);
  std::string EvalString(const std::string& expression);
  int EvalTest(const std::string& expression);
  std::string DBFilter();
  int QueryRowCount(const std::string& condition, int32_t& record_count);
  int QueryRecCount();
  int QueryTest(const std::string& condition);

  // --- indexes and scopes ---
  void CloseIndexes();
  std::string IndexCondition();
  std::string IndexKey();
  std::string IndexKeyField();
  std::string IndexName(int16_t number);
  int IndexOpen(const std::string& index_file);
  int IndexOrd();
  int IndexType();
  int SetOrder(int16_t order);
  int TagArea(const std::string& tag);
  std::string TagName(int16_t number);
  std::string GetScope(int16_t which);
  bool SetScope(const std::string& low, const std::string& high);
  bool IsEncrypted(int16_t what);

  // --- records, blobs, structure ---
  // Reads the current record: the first `record_size` bytes of the reply into `buffer`.
  // Returns `record_size`, or 0 on failure (a reply shorter than the record is one).
  int GetRecord(void* buffer, int record_size);
  // Writes the current record; a request that cannot be sent or gets no reply is a failure.
  void PutRecord(const void* buffer, int record_size);
  // Copies the blob into `buffer`; returns its length. A blob longer than `size` is a failure.
  int GetBlob(const std::string& field, void* buffer, int size);
  int PutBlob(const std::string& field, const void* data, int length);
  // The value bytes come from `value` as the type code says (no error trap of its own); a
  // request that cannot be sent or gets no reply is a failure.
  void Replace(const std::string& field, int type_code, const void* value);
  // The field list: five CR LF separated lines per field (name, type, width, decimals, offset).
  TMemoryStream* GetStructure();
  // Fills slots[0..count-1] (growing `slots` when needed) and `count`; returns the fetch result
  // of the last entry (0 if none).
  int TraverseTable(const TMvTraverseRequest& request, int record_size, std::vector<TMvFetchSlot>& slots,
                    int& count);
  void MemDealloc() {}            // nothing to release on the server
  void SetStringType(int) {}      // the server keeps one string type

  // --- settings ---
  void SetCentury(bool on);
  void SetDateFormat(uint16_t code);
  void SetDeleted(bool on);
  int SetEpoch(uint16_t year);
  void SetExact(bool on);
  void SetLockTimeOut(int16_t seconds);
  int SetMemoBlockSize(uint16_t size);
  // The SetPassword command ("0566"): the password of the current table. Named apart from
  // SetPassword(), the login password of the connection, which it would otherwise hide.
  void SetTablePassword(const std::string& password);
  void SetSoftSeek(bool on);
  void SetTranslate(bool on);
  void SetTurboRead(bool on);
  int SysProp(uint16_t code, int32_t value);
  // The server's version text (command "0618"); Version() is the component's own.
  std::string ServerVersion();

  // --- files in a file area of the server ---
  // Each sends only the name part of `name` (after its last "\", ":" or "/"), area and name cut
  // at 255 characters; an empty area or name sends nothing and gives false (0).
  bool FileExists(const std::string& area, const std::string& name);
  bool DeleteFile(const std::string& area, const std::string& name);
  // The stored length; a reply that is not a length the 32-bit result can hold is a failure.
  int32_t FileLength(const std::string& area, const std::string& name);
  // Copies the local file `source` into the area under the name part of `target` (of `source`
  // when `target` is empty), streamed from disk behind the request's header in blocks of at
  // most 8,192 bytes with OnWriteProgress (0, body length, 0), (0, 0, bytes so far) after each
  // block and (0, 0, 0) at the end. Returns the file's size, or 0 when it was not stored: the
  // source refused (see OpenSendSource), the connection inactive or lost, or no reply.
  int32_t FileSend(const std::string& area, const std::string& source, const std::string& target);
  // Sends a source opened before (it stays open, and can be sent again).
  int32_t FileSend(const std::string& area, const TFileSendSource& source, const std::string& target);
  // Opens `path` as FileSend would: a missing file, one that is open elsewhere or cannot be
  // opened, and one of 2 GiB or more are reported as FileSend reports them, giving nullptr.
  std::unique_ptr<TFileSendSource> OpenSendSource(const std::string& path);

 private:
  std::string LoginRecord() const;
  // ClientStreamSendReceive with `body` as the request's payload instead of the outgoing stream.
  TMemoryStream* StreamSendReceive(const std::string& code, TStream& body);
  // ClientXmit under the command's code, awaiting a reply when the command is answered.
  std::string Xmit(const TMvCommand& command, const std::string& payload) {
    return ClientXmit(command.code, payload, command.answered);
  }
  void PollTimerOff() { poll_timer_->SetEnabled(false); }
  void PollTimerOn();
  // Runs `body` in the command's error trap: a failure reports ("MarvekConnection." + op, op)
  // and gives `empty`.
  template <class T, class F>
  T Trap(const char* op, T empty, F&& body);
  template <class F>
  void TrapVoid(const char* op, F&& body);
  // Runs `body`, turning any failure into `empty` without a report.
  template <class T, class F>
  T Quiet(T empty, F&& body);

  std::unique_ptr<platform::Timer> poll_timer_;
  bool poll_ = true;
  bool compression_ = false;  // never set; announced as "N" at login
  bool logged_in_ = false;
  uint16_t work_area_ = 0;
  int time_out_ = 120000;
  int shutdown_wait_ = 5000;
  std::string server_name_;
  std::string group_name_;
  std::string database_alias_;
  std::string sql_directory_;
  TMemoryStream in_stream_;
  TMemoryStream out_stream_;
  std::string reply_;  // the text of the last ClientXmit reply, as long as it comes
};

}  // namespace tavrik
