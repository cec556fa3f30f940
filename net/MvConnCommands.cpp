// The cursor, field, expression and index commands of the current work area: one text request
// each, decoded as the command says. Codes and payloads are listed with each command.
#include "net/MvConn.h"
#include "net/MvConnCodec.h"
#include "proto/MvPayloads.h"

namespace tavrik {

using namespace mvcodec;

// --- cursor ---

int TMarvekConnection::AppendBlank() {
  return Trap("AppendBlank", 0, [&] { return static_cast<int>(HexReply(Xmit(mvcmd::AppendBlank, ""))); });
}

bool TMarvekConnection::Bof() {
  return Trap("Bof", false, [&] { return YTest(Xmit(mvcmd::Bof, "")); });
}

bool TMarvekConnection::Eof() {
  return Quiet(false, [&] { return YTest(Xmit(mvcmd::Eof, "")); });
}

bool TMarvekConnection::Found() {
  return Trap("Found", false, [&] { return YTest(Xmit(mvcmd::Found, "")); });
}

int TMarvekConnection::Go(int32_t record) {
  return Trap("Go", 0, [&] { return static_cast<int>(HexReply(Xmit(mvcmd::Go, Hex(record, 8)))); });
}

void TMarvekConnection::GoBottom() {
  TrapVoid("GoBottom", [&] { Xmit(mvcmd::GoBottom, ""); });
}

void TMarvekConnection::GoTop() {
  TrapVoid("GoTop", [&] { Xmit(mvcmd::GoTop, ""); });
}

void TMarvekConnection::Skip(int32_t count) {
  TrapVoid("Skip", [&] { Xmit(mvcmd::Skip, Hex(count, 8)); });
}

int TMarvekConnection::RecNo() {
  return Trap("RecNo", 0, [&] { return static_cast<int>(DecReply(Xmit(mvcmd::RecNo, ""))); });
}

int TMarvekConnection::RecCount() {
  return Trap("RecCount", 0, [&] { return static_cast<int>(TrimmedDecReply(Xmit(mvcmd::RecCount, ""))); });
}

int TMarvekConnection::Count() {
  return Trap("Count", 0, [&] { return static_cast<int>(DecReply(Xmit(mvcmd::Count, ""))); });
}

bool TMarvekConnection::Seek(const std::string& key) {
  // Only the first character counts; the server may add more after it.
  return Quiet(false, [&] {
    const std::string reply = Xmit(mvcmd::Seek, key);
    return !reply.empty() && reply[0] == 'Y';
  });
}

void TMarvekConnection::Delete() {
  TrapVoid("Delete", [&] { Xmit(mvcmd::Delete, ""); });
}

bool TMarvekConnection::Deleted() {
  return Trap("Deleted", false, [&] { return YTest(Xmit(mvcmd::Deleted, "")); });
}

void TMarvekConnection::Commit() {
  TrapVoid("Commit", [&] { Xmit(mvcmd::Commit, ""); });
}

bool TMarvekConnection::Rlock(int32_t record) {
  return Trap("Rlock", false, [&] { return YTest(Xmit(mvcmd::Rlock, Dec(record))); });
}

void TMarvekConnection::Unlock(int32_t record) {
  TrapVoid("Unlock", [&] { Xmit(mvcmd::Unlock, Hex(record, 8)); });
}

void TMarvekConnection::OrderPosSet(double position) {
  TrapVoid("OrderPosSet", [&] { Xmit(mvcmd::OrderPosSet, FloatText(position)); });
}

// --- fields and expressions ---

int TMarvekConnection::FieldDecimals(const std::string& field) {
  return Trap("FieldDecimals", 0, [&] { return static_cast<int>(DecReply(Xmit(mvcmd::FieldDecimals, field))); });
}

std::string TMarvekConnection::FieldName(uint16_t number) {
  return Trap("FieldName", std::string(), [&] { return Xmit(mvcmd::FieldName, Dec(number)); });
}

int TMarvekConnection::FieldOffset(const std::string& field) {
  return Trap("FieldOffset", 0, [&] { return static_cast<int>(DecReply(Xmit(mvcmd::FieldOffset, field))); });
}

std::string TMarvekConnection::FieldType(const std::string& field) {
  return Trap("FieldType", std::string(), [&] { return Xmit(mvcmd::FieldType, field); });
}

int TMarvekConnection::FieldWidth(const std::string& field) {
  return Trap("FieldWidth", 0, [&] { return static_cast<int>(DecReply(Xmit(mvcmd::FieldWidth, field))); });
}

std::string TMarvekConnection::GetDateString(const std::string& field) {
  return Trap("GetDateString", std::string(), [&] { return Xmit(mvcmd::GetDateString, field); });
}

double TMarvekConnection::GetDouble(const std::string& field) {
  return Trap("GetDouble", 0.0, [&] { return FloatReply(Xmit(mvcmd::GetDouble, field)); });
}

int TMarvekConnection::GetInteger(const std::string& field) {
  return Trap("GetInteger", 0, [&] { return static_cast<int>(DecReply(Xmit(mvcmd::GetInteger, field))); });
}

std::string TMarvekConnection::GetTrimString(const std::string& field) {
  return Trap("GetTrimString", std::string(), [&] { return Xmit(mvcmd::GetTrimString, field); });
}

std::string TMarvekConnection::GetMemo(const std::string& field, uint16_t line_width) {
  return Trap("GetMemo", std::string(),
              [&] { return Xmit(mvcmd::GetMemo, BuildMemoRequest(line_width, field)); });
}

int TMarvekConnection::GetBlobLength(const std::string& field) {
  return Trap("GetBlobLength", 0, [&] { return static_cast<int>(DecReply(Xmit(mvcmd::GetBlobLength, field))); });
}

bool TMarvekConnection::EvalLogical(const std::string& expression) {
  return Trap("EvalLogical", false, [&] { return YTest(Xmit(mvcmd::EvalLogical, expression)); });
}

double TMarvekConnection::EvalNumeric(const std::string& expression) {
  return Trap("EvalNumeric", 0.0, [&] { return FloatReply(Xmit(mvcmd::EvalNumeric, expression)); });
}

std::string TMarvekConnection::EvalString(const std::string& expression) {
  return Trap("EvalString", std::string(), [&] { return Xmit(mvcmd::EvalString, expression); });
}

int TMarvekConnection::EvalTest(const std::string& expression) {
  return Trap("EvalTest", 0, [&] { return static_cast<int>(DecReply(Xmit(mvcmd::EvalTest, Trim(expression)))); });
}

std::string TMarvekConnection::DBFilter() {
  return Trap("DBFilter", std::string(), [&] { return Xmit(mvcmd::DBFilter, ""); });
}

int TMarvekConnection::QueryRowCount(const std::string& condition, int32_t& record_count) {
  return Trap("QueryRowCount", 0, [&] {
    const TMvRowCount count = DecodeRowCount(Xmit(mvcmd::QueryRowCount, condition));
    record_count = count.record_count;
    return static_cast<int>(count.matches);
  });
}

int TMarvekConnection::QueryRecCount() {
  return Trap("QueryRecCount", 0, [&] { return static_cast<int>(DecReply(Xmit(mvcmd::QueryRecCount, ""))); });
}

int TMarvekConnection::QueryTest(const std::string& condition) {
  return Trap("QueryTest", 0, [&] { return static_cast<int>(TrimmedDecReply(Xmit(mvcmd::QueryTest, condition))); });
}

// --- indexes and scopes ---

void TMarvekConnection::CloseIndexes() {
  try {
    Xmit(mvcmd::CloseIndexes, "");
  } catch (const std::exception&) {
    ReportError("CloseIndexes", "CloseIndexes");
  }
}

std::string TMarvekConnection::IndexCondition() {
  return Quiet(std::string(), [&] { return Xmit(mvcmd::IndexCondition, ""); });
}

std::string TMarvekConnection::IndexKey() {
  return Trap("IndexKey", std::string(), [&] { return Xmit(mvcmd::IndexKey, ""); });
}

std::string TMarvekConnection::IndexKeyField() {
  return Trap("IndexKeyField", std::string(), [&] { return Xmit(mvcmd::IndexKeyField, ""); });
}

std::string TMarvekConnection::IndexName(int16_t number) {
  return Trap("IndexName", std::string(), [&] { return Xmit(mvcmd::IndexName, Dec(number)); });
}

int TMarvekConnection::IndexOpen(const std::string& index_file) {
  return Trap("IndexOpen", 0, [&] {
    return static_cast<int>(TrimmedDecReply(Xmit(mvcmd::IndexOpen, Pad(database_alias_, 255) + Pad(index_file, 255))));
  });
}

int TMarvekConnection::IndexOrd() {
  return Trap("IndexOrd", 0, [&] { return static_cast<int>(TrimmedDecReply(Xmit(mvcmd::IndexOrd, ""))); });
}

int TMarvekConnection::IndexType() {
  return Trap("IndexType", 0, [&] { return static_cast<int>(TrimmedDecReply(Xmit(mvcmd::IndexType, ""))); });
}

int TMarvekConnection::SetOrder(int16_t order) {
  return Trap("SetOrder", 0, [&] { return static_cast<int>(TrimmedDecReply(Xmit(mvcmd::SetOrder, Hex(order, 4)))); });
}

int TMarvekConnection::TagArea(const std::string& tag) {
  return Trap("TagArea", 0, [&] { return static_cast<int>(TrimmedDecReply(Xmit(mvcmd::TagArea, tag))); });
}

std::string TMarvekConnection::TagName(int16_t number) {
  return Trap("TagName", std::string(), [&] { return Xmit(mvcmd::TagName, Hex(number, 4)); });
}

std::string TMarvekConnection::GetScope(int16_t which) {
  return Trap("GetScope", std::string(), [&] { return Xmit(mvcmd::GetScope, Dec(which)); });
}

bool TMarvekConnection::SetScope(const std::string& low, const std::string& high) {
  return Trap("SetScope", false, [&] { return YTest(Xmit(mvcmd::SetScope, BuildScope(low, high))); });
}

bool TMarvekConnection::IsEncrypted(int16_t what) {
  return Trap("IsEncrypted", false, [&] { return YTest(Xmit(mvcmd::IsEncrypted, Dec(what))); });
}

std::string TMarvekConnection::ServerVersion() {
  return Trap("Version", std::string(), [&] { return Xmit(mvcmd::Version, ""); });
}

}  // namespace tavrik
